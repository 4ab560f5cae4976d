#!/usr/bin/env bash
# Installed like a Linux program: `cmake --install` into a staging root puts
# every file in its place; the installed program, started from a directory
# without the archive, finds its own and runs the show; the desktop entry and
# the manual page pass their checkers; the compressed documents are
# reproducible and the changelog names this version; the Debian package
# holds the same files, declares what it needs and, where lintian is
# installed, passes Debian's checks without a tag. Everything is made under
# $workdir.
source "$KESTRUNE_SOURCE_DIR/tests/support/e2e_lib.sh"

stage="$workdir/stage"
DESTDIR="$stage" cmake --install "$KESTRUNE_BUILD_DIR" --prefix /usr >"$workdir/install.log" ||
  fail "cmake --install failed: $(cat "$workdir/install.log")"
files="games/kestrune share/kestrune/data.tvl share/applications/kestrune.desktop
  share/man/man6/kestrune.6.gz share/icons/hicolor/16x16/apps/kestrune.png
  share/icons/hicolor/48x48/apps/kestrune.png share/icons/hicolor/256x256/apps/kestrune.png
  share/doc/kestrune/copyright share/doc/kestrune/changelog.gz"
for file in $files; do
  [ -f "$stage/usr/$file" ] || fail "not installed: $file"
done
# Compressed without name and time stamp (bytes 3-7 of the gzip header), so
# every build of the same sources gives the same package.
for file in share/man/man6/kestrune.6.gz share/doc/kestrune/changelog.gz; do
  [ "$(od -An -tx1 -j3 -N5 "$stage/usr/$file" | tr -d ' ')" = 0000000000 ] ||
    fail "$file carries a name or time stamp"
done
version=$("$stage/usr/games/kestrune" --version) || fail "--version failed"
zcat "$stage/usr/share/doc/kestrune/changelog.gz" | head -n 1 | grep -qF "kestrune (${version#kestrune })" ||
  fail "the changelog's first entry is not for $version"

desktop-file-validate "$stage/usr/share/applications/kestrune.desktop" ||
  fail "the desktop entry is not valid"
warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$stage/usr/share/man/man6/kestrune.6.gz" 2>&1 >/dev/null)
[ -z "$warnings" ] || fail "manual page warnings: $warnings"

KESTRUNE_BIN="$stage/usr/games/kestrune"
[ ! -e "$workdir/data.tvl" ] || fail "the working directory must not hold an archive"
start_kestrune
show_from_dialog
expect_moving_picture "$show"
expect_escape_ends_show "$show"
echo "ok (installed program)"

cpack -G DEB --config "$KESTRUNE_BUILD_DIR/CPackConfig.cmake" -B "$workdir/package" >"$workdir/cpack.log" 2>&1 ||
  fail "cpack failed: $(cat "$workdir/cpack.log")"
package=$(ls "$workdir"/package/kestrune_*.deb) || fail "no package: $(cat "$workdir/cpack.log")"
dpkg-deb -c "$package" | tee "$workdir/contents"
for file in $files; do
  grep -q " \./usr/$file\$" "$workdir/contents" || fail "the package lacks /usr/$file"
done
depends=$(dpkg-deb -f "$package" Depends)
echo "Depends: $depends"
for library in libsdl1.2 libepoxy libftgl libfltk1.3 libmpg123; do
  [[ "$depends" == *"$library"* ]] || fail "the package does not depend on $library"
done
echo "ok (package)"

# Debian's own checks, at every level: no tag at all but those named here
# with their reason (none so far).
if command -v lintian >/dev/null; then
  allowed='^$'
  lintian -I -E --pedantic --fail-on none "$package" >"$workdir/lintian.log" 2>&1 ||
    fail "lintian did not run: $(cat "$workdir/lintian.log")"
  tags=$(grep -E '^[EWIPXOC]: ' "$workdir/lintian.log" | grep -Ev "$allowed" || true)
  [ -z "$tags" ] || fail "lintian reports: $tags"
  echo "ok (lintian)"
else
  echo "lintian is not installed: the package's Debian checks are left out"
fi
