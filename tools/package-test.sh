#!/usr/bin/env bash
# Builds the Debian package in build-pkg/ (the package preset), checks it
# (contents, dependencies, lintian, the launcher, the AppStream data, the
# manual pages), installs it with apt-get, runs the installed programs and
# removes the package again.
# It really installs into /usr for a moment: meant for root on a throwaway
# machine (or sudo). Exits non-zero on any failure; lintian warnings are shown
# but only its errors fail.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-pkg
"$root/tools/install-deps.sh"

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
work=$(mktemp -d /tmp/klangmappe-package.XXXXXX)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FEHLER: $*" >&2
  failures=$((failures + 1))
}
step() { echo "== $*"; }

step "Bauen"
# Hardened as Debian builds its own packages; no -g, the package is stripped.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cxxflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
cxxflags=$(echo " $cxxflags " | sed -e 's/ -g / /g')
cd "$root"
cmake --preset package -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" \
  >/dev/null
cmake --build --preset package
rm -f "$build"/klangmappe_*.deb
(cd "$build" && cpack -G DEB)
deb=$(echo "$build"/klangmappe_*_*.deb)
[ -f "$deb" ] || { echo "FEHLER: kein Paket gebaut" >&2; exit 1; }

step "Inhalt (dpkg -c)"
dpkg -c "$deb" | tee "$work/contents"
awk '{print $6}' "$work/contents" | sed -e 's|^\./|/|' -e 's|/$||' >"$work/paths"
expected=(
  /usr/bin/klangmappe
  /usr/bin/klangmappe-cli
  /usr/share/applications/Klangmappe.desktop
  /usr/share/kio/servicemenus/klangmappe-ordner.desktop
  /usr/share/metainfo/de.fennwick.Klangmappe.metainfo.xml
  /usr/share/icons/hicolor/scalable/apps/klangmappe.svg
  /usr/share/man/de/man1/klangmappe-cli.1.gz
  /usr/share/man/de/man1/klangmappe.1.gz
  /usr/share/man/man1/klangmappe-cli.1.gz
  /usr/share/man/man1/klangmappe.1.gz
  /usr/share/doc/klangmappe/copyright
  /usr/share/doc/klangmappe/changelog.gz
)
for size in 16 22 24 32 48 64 128 256; do
  expected+=("/usr/share/icons/hicolor/${size}x${size}/apps/klangmappe.png")
done
for path in "${expected[@]}"; do
  grep -qxF "$path" "$work/paths" || fail "fehlt im Paket: $path"
done
if grep -v -e '^/usr$' -e '^/usr/' "$work/paths" | grep -q .; then fail "Dateien außerhalb von /usr"; fi

step "Abhängigkeiten"
depends=$(dpkg-deb -f "$deb" Depends)
echo "$depends"
for pkg in libqt6core6 libqt6gui6 libqt6widgets6 libqt6network6 libqt6svg6 zlib1g libxlsxwriter libglib2.0-0 breeze-icon-theme \
  qt6-translations-l10n; do
  [[ "$depends" == *"$pkg"* ]] || fail "Depends nennt $pkg nicht"
done

step "Starter, AppStream, Handbuchseiten, Bilder"
dpkg-deb -x "$deb" "$work/root"
# It still exits 0 on some errors ("will be fatal in the future"): any remark fails.
remarks=$(desktop-file-validate "$work/root/usr/share/applications/Klangmappe.desktop" 2>&1) || fail "desktop-file-validate"
[ -z "$remarks" ] || fail "desktop-file-validate: $remarks"
appstreamcli validate --no-net "$work/root/usr/share/metainfo/de.fennwick.Klangmappe.metainfo.xml" || fail "appstreamcli validate"
for page in "$work"/root/usr/share/man/de/man1/*.1.gz; do
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "man meldet zu $(basename "$page"): $warnings"
done
# The folder menu's entry, for folders only; no launcher of ours names folders.
menu="$work/root/usr/share/kio/servicemenus/klangmappe-ordner.desktop"
grep -qx 'Type=Service' "$menu" || fail "Dienstmenü: kein Type=Service"
grep -qx 'MimeType=inode/directory;' "$menu" || fail "Dienstmenü: nicht für Ordner"
grep -qx 'Name=Mit Klangmappe öffnen' "$menu" || fail "Dienstmenü: falsche Beschriftung"
grep -qx 'Exec=klangmappe %f' "$menu" || fail "Dienstmenü: falscher Aufruf"
if grep -l 'inode/directory' "$work"/root/usr/share/applications/*.desktop; then fail "ein Starter nennt inode/directory"; fi
for size in 16 22 24 32 48 64 128 256; do
  png="$work/root/usr/share/icons/hicolor/${size}x${size}/apps/klangmappe.png"
  [[ "$(file -b "$png")" == "PNG image data, $size x $size,"* ]] || fail "$png ist kein PNG von $size x $size"
done

step "lintian"
lintian --display-info --pedantic "$deb" 2>/dev/null | tee "$work/lintian" || true
if grep -q '^E:' "$work/lintian"; then fail "lintian meldet Fehler"; fi

step "Installieren"
if dpkg-query -W -f='${Status}' klangmappe 2>/dev/null | grep -q "install ok installed"; then
  $sudo apt-get remove -y klangmappe >/dev/null
fi
mkdir -p "$work/home" "$work/music"
# The program that opens folders stays what it was.
folders_before=$(env -i PATH=/usr/bin:/bin HOME="$work/home" xdg-mime query default inode/directory 2>&1 || true)
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "$deb"
folders_after=$(env -i PATH=/usr/bin:/bin HOME="$work/home" xdg-mime query default inode/directory 2>&1 || true)
echo "Ordner öffnet vorher: '$folders_before', nachher: '$folders_after'"
[ "$folders_before" = "$folders_after" ] || fail "das Programm für Ordner wurde geändert"
[[ "$folders_after" != *[Kk]langmappe* ]] || fail "Klangmappe öffnet jetzt Ordner"
for path in "${expected[@]}"; do
  [ -e "$path" ] || fail "nicht installiert: $path"
done
if ldd /usr/bin/klangmappe /usr/bin/klangmappe-cli | grep 'not found'; then fail "fehlende Bibliotheken"; fi

# The installed programs, with nothing of this shell's environment.
run() { env -i PATH=/usr/bin:/bin HOME="$work/home" LANG=de_DE.UTF-8 TZ=UTC "$@"; }
run /usr/bin/klangmappe-cli --help >"$work/help" || fail "klangmappe-cli --help"
head -1 "$work/help" | grep -qx 'Aufruf: klangmappe-cli BEFEHL \[OPTIONEN\] ...' || fail "unerwartete Hilfe"
head -c 1000 /dev/zero >"$work/music/Lied.mp3"
run /usr/bin/klangmappe-cli set --title "Grüße" "$work/music/Lied.mp3" >/dev/null || fail "klangmappe-cli set"
run /usr/bin/klangmappe-cli info "$work/music/Lied.mp3" | grep -qF '"title":"Grüße"' || fail "klangmappe-cli info"
# The window: still running after some seconds means it found its libraries and plugins.
status=0
run QT_QPA_PLATFORM=offscreen KLANGMAPPE_UPDATE_URL=http://127.0.0.1:9 \
  timeout 5 /usr/bin/klangmappe "$work/music" >"$work/window.log" 2>&1 || status=$?
[ "$status" -eq 124 ] || { cat "$work/window.log"; fail "klangmappe endete mit $status"; }
[ "$(man -L de -w klangmappe-cli)" = /usr/share/man/de/man1/klangmappe-cli.1.gz ] || fail "man -L de findet die Seite nicht"
[ "$(man -L C -w klangmappe-cli)" = /usr/share/man/man1/klangmappe-cli.1.gz ] || fail "man -L C findet die Seite nicht"

step "Entfernen"
$sudo apt-get remove -y klangmappe >/dev/null
while read -r path; do
  if [ -f "$work/root$path" ] && [ -e "$path" ]; then fail "nach dem Entfernen noch da: $path"; fi
done <"$work/paths"

if [ "$failures" -gt 0 ]; then
  echo "$failures Fehler" >&2
  exit 1
fi
echo "Paket in Ordnung: $deb"
