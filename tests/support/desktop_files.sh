#!/usr/bin/env bash
# Installs a build into a scratch prefix and checks the desktop integration with the desktop's own tools:
# desktop-file-validate for the entry, xmllint and update-mime-database for the MIME declaration.
set -u
build="$1"; table="$2"
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

cmake --install "$build" --prefix "$prefix" >"$prefix/install.log" 2>&1 || { cat "$prefix/install.log"; fail "install"; }
entry="$prefix/share/applications/velquine.desktop"
mime="$prefix/share/mime/packages/velquine.xml"
for f in "$prefix/bin/velquine" "$entry" "$mime" \
         "$prefix/share/icons/hicolor/scalable/apps/velquine.svg" \
         "$prefix/share/icons/hicolor/scalable/mimetypes/application-x-velquine-mindmap.svg"; do
  [ -s "$f" ] || fail "not installed: ${f#$prefix/}"
done

desktop-file-validate "$entry" || fail "desktop-file-validate"
grep -qx 'Exec=velquine %F' "$entry" || fail "Exec line"
# The MimeType list is the table's MIME types and aliases, in the table's order.
expected=$(grep -v '^#' "$table" | awk -F'|' 'NF==4 { printf "%s;", $2; n=split($3,a," "); for(i=1;i<=n;i++) printf "%s;", a[i] }')
grep -qxF "MimeType=$expected" "$entry" || fail "MimeType line is not MimeType=$expected: $(grep MimeType "$entry")"

xmllint --noout "$mime" || fail "xmllint"
update-mime-database "$prefix/share/mime" >"$prefix/mime.log" 2>&1 || { cat "$prefix/mime.log"; fail "update-mime-database"; }
if grep -qi 'error\|warning' "$prefix/mime.log"; then cat "$prefix/mime.log"; fail "update-mime-database complained"; fi
grep -q ':application/x-velquine-mindmap:\*\.radovudo' "$prefix/share/mime/globs2" || fail "glob *.radovudo"
grep -qx 'application/x-velquine-mindmap application/zip' "$prefix/share/mime/subclasses" || fail "sub-class of application/zip"
echo "desktop files installed and valid"
