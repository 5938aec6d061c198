# Fixed-layout cameras and GENERAL on the command line: the pixels that go to FITS come back
# the same (LYNXX -> FITS -> LYNXX, and GENERAL -> FITS -> LYNXX of the same values).
python3 - <<'EOF'
valores = [(i * 7919 + i // 3) % 4096 for i in range(192 * 165)]
def fila(v):
    b = bytearray()
    for p0, p1 in zip(v[0::2], v[1::2]):
        b += bytes([p0 & 0xFF, (p0 >> 8) | ((p1 >> 8) << 4), p1 & 0xFF])
    return bytes(b)
filas = [fila(valores[y * 192:(y + 1) * 192]) for y in range(165)]
open('lynxx.raw', 'wb').write(b''.join(filas))
open('general.bin', 'wb').write(b'\0' * 100 + b''.join(b'\xAA\xAA' + f + b'\x55' * 3 for f in filas))
open('pantalla.raw', 'wb').write(bytes((i * 13) % 256 for i in range(64000)))
EOF
orva detect lynxx.raw pantalla.raw
orva convert lynxx.raw lynxx.fits
orva convert lynxx.fits vuelta.raw --type LYNXX
cmp lynxx.raw vuelta.raw && echo lynxx=fits=lynxx
general() {
  orva --set TipoArch_GENERAL.DESPLAZAMIENTO=100 --set TipoArch_GENERAL.ANCHO=192 \
    --set TipoArch_GENERAL.ALTO=$1 --set TipoArch_GENERAL.BITS=12 \
    --set TipoArch_GENERAL.PREFIJO=2 --set TipoArch_GENERAL.SUFIJO=3 \
    convert general.bin general.fits --from GENERAL
}
general 165
orva convert general.fits general.raw --type LYNXX
cmp lynxx.raw general.raw && echo general=fits=lynxx
general 166
orva convert pantalla.raw pantalla.fits
orva info pantalla.fits | grep -E '^(ANCHO|ALTO|MINIMO|MAXIMO)='
