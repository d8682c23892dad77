#!/usr/bin/env bash
# Lays out a built dist folder as a user installs it, and archives it:
#   DIST/KELPA_*.dll, DIST/kelpa-call.exe      (built there by the win32 build)
#   DIST/MQL4/Include/Kelpa/*.mqh              the import headers with their string wrappers
#   DIST/MQL4/Experts/Kelpa/*.mq4              one sample expert program per library
#   DIST/docs/guide.md                         the user guide
#   DIST/SHA256SUMS                            the SHA-256 of every other file, as sha256sum -c reads it
#   DIST/../kelpa-<version>.zip                all of it below the folder kelpa-<version>/
# usage: tools/package.sh DIST
set -euo pipefail
cd "$(dirname "$0")/.."
dist=$(cd "${1:?usage: tools/package.sh DIST}" && pwd)
version=$(cat VERSION)

for name in KELPA_BASE KELPA_LATTICE KELPA_COURIER KELPA_RIPTIDE KELPA_UNDERTOW KELPA_LADDER2; do
    [ -f "$dist/$name.dll" ] || { echo "package: $dist/$name.dll is missing" >&2; exit 1; }
done
[ -f "$dist/kelpa-call.exe" ] || { echo "package: $dist/kelpa-call.exe is missing" >&2; exit 1; }

# Whatever an earlier package held is replaced, so that nothing removed from the sources stays.
rm -rf "$dist/MQL4" "$dist/docs" "$dist/SHA256SUMS"
mkdir -p "$dist/MQL4/Include/Kelpa" "$dist/MQL4/Experts/Kelpa" "$dist/docs"
cp mql4/Include/Kelpa/*.mqh "$dist/MQL4/Include/Kelpa/"
cp mql4/Experts/Kelpa/*.mq4 "$dist/MQL4/Experts/Kelpa/"
cp docs/guide.md "$dist/docs/"

sums=$(mktemp)
(cd "$dist" && find . -type f -printf '%P\n' | LC_ALL=C sort | xargs -d '\n' sha256sum) >"$sums"
mv "$sums" "$dist/SHA256SUMS"
chmod 644 "$dist/SHA256SUMS"

archive="$(dirname "$dist")/kelpa-$version.zip"
python3 - "$dist" "$archive" "kelpa-$version" <<'PYTHON'
import os, sys, zipfile
dist, archive, top = sys.argv[1:]
names = []
for folder, _, files in os.walk(dist):
    for name in files:
        names.append(os.path.relpath(os.path.join(folder, name), dist).replace(os.sep, "/"))
with zipfile.ZipFile(archive + ".tmp", "w", zipfile.ZIP_DEFLATED) as package:
    for name in sorted(names):
        package.write(os.path.join(dist, name), f"{top}/{name}")
os.replace(archive + ".tmp", archive)
PYTHON
echo "package: $dist laid out, archived as $archive"
