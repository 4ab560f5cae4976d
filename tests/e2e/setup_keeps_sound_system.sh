#!/usr/bin/env bash
# Neither set-up command may take a package away from a PipeWire desktop
# (pipewire-audio conflicts with pulseaudio, which the test set-up once
# installed unconditionally). The desktop is simulated: this machine's
# package state with pipewire-audio installed as apt would install it, fed
# to install-deps.sh's --simulate through a private dpkg status file.
source "$KESTRUNE_SOURCE_DIR/tests/support/e2e_lib.sh"

command -v apt-get >/dev/null || { echo "skipped: no apt here"; exit 0; }
apt-cache show pipewire-audio >/dev/null 2>&1 || { echo "skipped: apt knows no pipewire-audio (no package lists)"; exit 0; }

desktop="$workdir/dpkg"
mkdir -p "$desktop/updates" "$desktop/info"
apt-get -s install -y --no-install-recommends pipewire-audio >"$workdir/desktop.plan" 2>&1 ||
  fail "apt cannot plan a PipeWire desktop here: $(tail -n 3 "$workdir/desktop.plan")"
python3 - "$workdir/desktop.plan" /var/lib/dpkg/status "$desktop/status" <<'PY' || fail "cannot write the desktop's status"
import re, subprocess, sys
plan, real, out = sys.argv[1:]
installs = dict(re.findall(r'^Inst (\S+) (?:\[[^\]]*\] )?\((\S+)', open(plan).read(), re.M))
removes = set(re.findall(r'^Remv (\S+)', open(plan).read(), re.M))
stanzas = [s for s in open(real).read().split('\n\n') if s.strip()]
def name(s):
    return re.search(r'^Package: (\S+)', s, re.M).group(1)
kept = [s for s in stanzas if name(s) not in removes and name(s) not in installs]
for pkg, version in installs.items():
    shown = subprocess.run(['apt-cache', 'show', '%s=%s' % (pkg, version)], capture_output=True, text=True,
                           check=True).stdout.split('\n\n')[0].strip()
    lines = [l for l in shown.split('\n') if not l.startswith(('Filename:', 'Size:', 'MD5sum:', 'SHA256:'))]
    lines.insert(1, 'Status: install ok installed')
    kept.append('\n'.join(lines))
open(out, 'w').write('\n\n'.join(kept) + '\n')
PY
echo "Dir::State::status \"$desktop/status\";" >"$workdir/apt.conf"

export DPKG_ADMINDIR="$desktop" APT_CONFIG="$workdir/apt.conf"
dpkg-query -W -f='${Status}' pipewire-audio 2>/dev/null | grep -q "install ok installed" ||
  fail "the simulated desktop has no pipewire-audio"
for purpose in run test; do
  bash "$KESTRUNE_SOURCE_DIR/scripts/install-deps.sh" "$purpose" --simulate >"$workdir/$purpose.plan" 2>&1 ||
    fail "install-deps.sh $purpose cannot install on a PipeWire desktop: $(tail -n 5 "$workdir/$purpose.plan")"
  if grep -E '^Remv ' "$workdir/$purpose.plan"; then
    fail "install-deps.sh $purpose would remove packages from a PipeWire desktop"
  fi
  grep -E '^Inst pulseaudio ' "$workdir/$purpose.plan" && fail "install-deps.sh $purpose would install PulseAudio"
done
echo "ok"
