# Planetary archive files convert to FITS keeping their values: a PDS3 image with a detached label
# and line prefix bytes (unsigned 16-bit, up to 60000), one with an attached label and scaled
# bytes, and a VICAR image with EOL labels; astropy reads the FITS files back.
/usr/bin/python3 - <<'PY'
import struct
w, h = 5, 4
u16 = [[x * 12000 + y * 7 + 1 for x in range(w)] for y in range(h)]
rec = 6 + 2 * w
img = b"".join(b"prefix" + b"".join(struct.pack(">H", v) for v in fila) for fila in u16)
open("U16.IMG", "wb").write(img)
open("U16.LBL", "w").write(
    "PDS_VERSION_ID = PDS3\r\nRECORD_TYPE = FIXED_LENGTH\r\nRECORD_BYTES = %d\r\n"
    "^IMAGE = (\"U16.IMG\", 1)\r\nTARGET_NAME = \"JUPITER\"\r\nSTART_TIME = 1979-03-05T12:05:26Z\r\n"
    "EXPOSURE_DURATION = 0.48 <S>\r\nOBJECT = IMAGE\r\n  LINES = %d\r\n  LINE_SAMPLES = %d\r\n"
    "  SAMPLE_TYPE = MSB_UNSIGNED_INTEGER\r\n  SAMPLE_BITS = 16\r\n  LINE_PREFIX_BYTES = 6\r\n"
    "END_OBJECT = IMAGE\r\nEND\r\n" % (rec, h, w))
b8 = [[(x * 50 + y) % 256 for x in range(w)] for y in range(h)]
etiqueta = ("PDS_VERSION_ID = PDS3\r\nRECORD_BYTES = %d\r\n^IMAGE = 65\r\nOBJECT = IMAGE\r\n"
            "  LINES = %d\r\n  LINE_SAMPLES = %d\r\n  SAMPLE_TYPE = UNSIGNED_INTEGER\r\n"
            "  SAMPLE_BITS = 8\r\n  SCALING_FACTOR = 0.25\r\n  OFFSET = -10\r\nEND_OBJECT = IMAGE\r\nEND\r\n"
            % (w, h, w)).ljust(64 * w).encode()
open("B8.IMG", "wb").write(etiqueta + bytes(v for fila in b8 for v in fila))
vic = ("LBLSIZE=200 FORMAT='HALF' TYPE='IMAGE' ORG='BSQ' NL=%d NS=%d NB=1 NBB=0 NLB=0 "
       "RECSIZE=%d INTFMT='LOW' REALFMT='RIEEE' EOL=1 TASK='T'" % (h, w, 2 * w)).ljust(200)
s16 = [[x * 900 - y * 3000 for x in range(w)] for y in range(h)]
datos = b"".join(struct.pack("<h", v) for fila in s16 for v in fila)
eol = "LBLSIZE=60 PROPERTY='P' TARGET_NAME='IO'".ljust(60)
open("S16.VIC", "wb").write(vic.encode() + datos + eol.encode())
import json
json.dump({"U16": u16, "B8": [[0.25 * v - 10 for v in f] for f in b8], "S16": s16},
          open("valores.json", "w"))
PY
orva detect U16.LBL U16.IMG B8.IMG S16.VIC
orva convert U16.IMG u16.fits
orva convert B8.IMG b8.fits
orva convert S16.VIC s16.fits
orva info u16.fits | grep -e NOMOBJ -e FECHAOBS -e HORAOBS -e TIEMPOEXP
/usr/bin/python3 - <<'PY'
import json, numpy
from astropy.io import fits
valores = json.load(open("valores.json"))
for nombre in ("U16", "B8", "S16"):
    datos = fits.getdata(nombre.lower() + ".fits").astype(float)
    print(nombre, "same values" if numpy.array_equal(datos, numpy.array(valores[nombre], float))
          else "DIFFERENT %s" % datos)
PY
