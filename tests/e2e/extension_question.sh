#!/usr/bin/env bash
# A renderer without non-power-of-two textures (Mesa told to hide the
# extension) gets the missing-extension question: Cancel ends with code 1;
# OK goes on, and the show then stops at its first texture whose sides are
# not powers of two, which such a renderer refuses: the risk the question
# warned about.
# Without framebuffer objects OK leads straight to the error box, not a crash.
source "$KESTRUNE_SOURCE_DIR/tests/support/e2e_lib.sh"

cp "$KESTRUNE_DATA_TVL" "$workdir/data.tvl"
hide=MESA_EXTENSION_OVERRIDE=-GL_ARB_texture_non_power_of_two

answer_question() {
  local dialog box
  start_kestrune "$hide"
  dialog=$(wait_for_window '^Kestrune$' 20) || fail "the setup dialog did not appear"
  press_key "$dialog" alt+f
  press_key "$dialog" Return
  box=$(wait_for_window '^Missing extension\(s\)$' 30) || fail "no question about the missing extension"
  sleep 1
  send_key "$box" "$1"
}

answer_question Escape
code=$(wait_for_exit 10) || fail "the program did not end after Cancel"
[ "$code" = 1 ] || fail "exit code $code after Cancel, expected 1"

# The fatal box whose title matches $1 appears (else: fail, saying $2 and
# what the program printed); OK on it ends the program with code 1.
expect_fatal_box() {
  local box code
  box=$(wait_for_window "$1" 30) ||
    fail "$2 (exit code $(cat "$workdir/exitcode" 2>/dev/null)): $(cat "$workdir/stderr")"
  sleep 1
  send_key "$box" Return
  code=$(wait_for_exit 10) || fail "the program did not end after the error box"
  [ "$code" = 1 ] || fail "exit code $code after the error box, expected 1"
}

answer_question Return
expect_fatal_box '^Error in file src\\util\\texture\\texture\.cpp:[0-9]+$' "the program did not go on after OK"
echo "ok (no textures of any size)"

hide=MESA_EXTENSION_OVERRIDE=-GL_EXT_framebuffer_object
answer_question Return
expect_fatal_box '^Error in file src\\extensioncheck\.cpp:[0-9]+$' "no error box after OK without framebuffer objects"
echo "ok (no framebuffer objects)"
