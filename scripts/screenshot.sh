#!/bin/sh
# Starts the real window program under a virtual X server on a new database in a temporary
# data folder and saves a picture of the main window to docs/main-window.png.
# Usage: scripts/screenshot.sh [path of the orvanthe program]   (default: build/src/app/orvanthe)
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
program=${1:-"$root/build/src/app/orvanthe"}
output="$root/docs/main-window.png"

if [ ! -x "$program" ]; then
    echo "Programme introuvable : $program (compilez d'abord, ou donnez son chemin)." >&2
    exit 1
fi
for tool in xvfb-run xdotool /usr/bin/import; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "Outil manquant : $tool (paquets xvfb, xauth, xdotool, imagemagick)." >&2
        exit 1
    fi
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM
mkdir -p "$work/data" "$work/config" "$work/runtime"
chmod 700 "$work/runtime"

cat > "$work/shoot.sh" <<'INNER'
#!/bin/sh
set -eu
"$1" &
pid=$!
window=""
tries=0
while [ -z "$window" ] && [ $tries -lt 100 ]; do
    sleep 0.2
    window=$(xdotool search --onlyvisible --name "Orvanthe Main Screen" 2>/dev/null | head -n 1 || true)
    tries=$((tries + 1))
done
if [ -z "$window" ]; then
    kill "$pid" 2>/dev/null || true
    echo "La fenêtre principale n'est pas apparue." >&2
    exit 1
fi
# Let the window paint itself before the picture is taken.
sleep 1
/usr/bin/import -window "$window" "$2"
kill "$pid" 2>/dev/null || true
wait "$pid" 2>/dev/null || true
INNER
chmod +x "$work/shoot.sh"

env -u QT_QPA_PLATFORM HOME="$work" XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config" \
    XDG_RUNTIME_DIR="$work/runtime" LANG=fr_FR.UTF-8 \
    xvfb-run -a -s "-screen 0 1280x800x24 -dpi 96" "$work/shoot.sh" "$program" "$work/main-window.png"

mkdir -p "$root/docs"
cp "$work/main-window.png" "$output"
echo "Capture enregistrée : $output"
