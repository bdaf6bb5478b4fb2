#!/usr/bin/env bash
# Authenticode as the build signs (cmake/Sign.cmake) with a throwaway self-signed certificate:
# osslsigncode accepts the signed programs and installer, and rejects each once a byte changed.
#   signing_test.sh SIGN_CMAKE PROGRAM_EXE CLI_EXE MSI
set -euo pipefail
sign=$(realpath "${1:?Sign.cmake}")
shift
files=()
for file in "$@"; do files+=("$(realpath "$file")"); done
work=$(mktemp -d /tmp/signing-XXXXXX)
trap 'rm -rf "$work"' EXIT
cd "$work"

openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 2 \
    -subj "/O=Quorvatek/CN=TervoloPLUS test signing" -addext "extendedKeyUsage=codeSigning" \
    2>/dev/null
printf 'throwaway\n' >password.txt
openssl pkcs12 -export -inkey key.pem -in cert.pem -out cert.pfx -passout file:password.txt

verify() { osslsigncode verify -CAfile cert.pem -in "$1" >"$1.verify" 2>&1; }

for file in "${files[@]}"; do
    name=$(basename "$file")
    cp "$file" "$name"
    if verify "$name"; then
        echo "$name verifies before it was signed" >&2
        exit 1
    fi
    cmake -DFILE="$name" -DCERT=cert.pfx -DPASSWORD_FILE=password.txt -P "$sign"
    if ! verify "$name"; then
        echo "$name: signature not accepted" >&2
        cat "$name.verify" >&2
        exit 1
    fi
    grep -qi "digest algorithm *: *SHA256" "$name.verify" || { echo "$name: not a SHA-256 signature" >&2; exit 1; }
    # One byte of the signed content changed: in an installer, inside its cabinet of files.
    python3 - "$name" <<'PY'
import sys
path = sys.argv[1]
data = bytearray(open(path, "rb").read())
cabinet = data.find(b"MSCF")
data[cabinet + 4096 if cabinet >= 0 else len(data) // 3] ^= 0x01
open(path, "wb").write(data)
PY
    if verify "$name"; then
        echo "$name: a changed file still verifies" >&2
        exit 1
    fi
    echo "$name: signed, verified, and rejected once changed"
done
