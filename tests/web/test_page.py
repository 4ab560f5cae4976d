"""The show's page in a real browser (Debian's headless Chromium).

    python3 tests/web/test_page.py   (after scripts/web.sh --no-serve)

KESTRUNE_WEB_BUILD is the web build (build-web/), KESTRUNE_BUILD the native
build whose preview tool and archive the page is compared with (build/).
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from browser import Browser, Keys, serve  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
WEB = os.environ.get('KESTRUNE_WEB_BUILD', os.path.join(ROOT, 'build-web'))
NATIVE = os.environ.get('KESTRUNE_BUILD', os.path.join(ROOT, 'build'))
SITE = os.path.join(WEB, 'site')
ARCHIVE = os.environ.get('KESTRUNE_DATA_TVL', os.path.join(NATIVE, 'data.tvl'))
PREVIEW = os.path.join(NATIVE, 'tools', 'preview', 'preview')
PROGRAM = os.path.join(NATIVE, 'kestrune')
TVL = os.path.join(NATIVE, 'tvl')
CONTENT = os.path.join(NATIVE, 'content')
SONG = 'data/common/music/chipcore5.mp3'
COMPARE = '/usr/bin/compare-im6.q16'

HELD_BEATS = [20, 150, 214.5, 300, 450]  # fire, dance, raster, snake's demo, the closing analyser


def preview_pngs(beats, *options):
    out = tempfile.mkdtemp(prefix='kestrune-preview-')
    try:
        subprocess.run([PREVIEW, '--data', ARCHIVE, '--beat', ','.join('%g' % b for b in beats), '--out', out,
                        *options], check=True, stdout=subprocess.DEVNULL)
        pngs = {}
        for b in beats:
            label = '%d' % b if b == int(b) else '%.2f' % b
            with open(os.path.join(out, 'beat_%s.png' % label), 'rb') as f:
                pngs[b] = f.read()
        return pngs
    finally:
        shutil.rmtree(out, ignore_errors=True)


def worst_channel_difference(a_png, b_png):
    """ImageMagick's peak absolute error of two PNG files, in levels of 255."""
    result = subprocess.run([COMPARE, '-metric', 'PAE', a_png, b_png, 'null:'], capture_output=True, text=True)
    return float(result.stderr.split()[0]) / 257


def site_with_song(folder, song_bytes):
    """A copy of the page in `folder` whose archive holds `song_bytes` as the song."""
    for name in os.listdir(SITE):
        if name != 'data.tvl':
            shutil.copy(os.path.join(SITE, name), folder)
    content = os.path.join(folder, 'content')
    shutil.copytree(CONTENT, content)
    with open(os.path.join(content, SONG), 'wb') as f:
        f.write(song_bytes)
    subprocess.run([TVL, 'pack', '--root', content, '--list', os.path.join(ROOT, 'assets', 'load_order.txt'),
                    os.path.join(folder, 'data.tvl')], check=True, stdout=subprocess.DEVNULL)
    shutil.rmtree(content)


class PageTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.server = serve(SITE)
        cls.base = cls.server.__enter__()

    @classmethod
    def tearDownClass(cls):
        cls.server.__exit__(None, None, None)

    def setUp(self):
        self.browser = Browser()

    def tearDown(self):
        self.browser.close()

    def start_stepped(self, url=None):
        b = self.browser
        b.open(url or self.base + '?stepped')
        self.assertEqual('start', b.wait_phase('start', 'failed'))
        b.press(Keys.RETURN)
        self.assertEqual('running', b.wait_phase('running'))
        return b

    def test_held_beats_equal_the_preview(self):
        pngs = preview_pngs(HELD_BEATS)
        b = self.start_stepped()
        for beat in HELD_BEATS:
            self.assertAlmostEqual(beat, b.js('return kestrune.stepTo(arguments[0])', beat), places=3)
            self.assertEqual(0, b.differing_pixels(pngs[beat]), 'beat %g' % beat)
        self.assertEqual([], b.console_problems())

    def test_reduce_flashing_limits_as_the_program_does(self):
        # The dance's strobing stretch, where the limiter holds colours back.
        beats = [100, 104, 108, 112, 116]
        limited = preview_pngs(beats, '--reduce-flashing')
        plain = preview_pngs(beats)
        self.assertTrue(any(limited[b] != plain[b] for b in beats), 'the limiter changes nothing here')
        b = self.browser
        b.open(self.base + '?stepped')
        b.wait_phase('start')
        b.js('reduce.click()')
        b.press(Keys.RETURN)
        self.assertEqual('running', b.wait_phase('running'))
        for beat in beats:
            b.js('kestrune.stepTo(arguments[0])', beat)
            self.assertEqual(0, b.differing_pixels(limited[beat]), 'beat %g' % beat)

    def test_the_1280x720_picture_equals_the_programs_recording(self):
        beats = [150, 300]
        work = tempfile.mkdtemp(prefix='kestrune-recording-')
        shutil.copy(ARCHIVE, os.path.join(work, 'data.tvl'))
        try:
            b = self.browser
            b.open(self.base + '?stepped')
            b.wait_phase('start')
            b.js('fullscreen.checked = false')  # 4:3, the dialog's default
            b.press(Keys.RETURN)
            self.assertEqual('running', b.wait_phase('running'))
            for beat in beats:
                b.js('kestrune.stepTo(arguments[0])', beat)
                page = os.path.join(work, 'page_%d.png' % beat)
                b.driver.save_screenshot(page)
                # Frame n of the recording stands at n / 60 s, 0.3 s a beat.
                frames = os.path.join(work, 'recorded_%d' % beat)
                subprocess.run([PROGRAM, '--frames', frames, '--size', '1280x720', '--aspect', '4:3', '--fps', '60',
                                '--from', str(beat), '--to', str(beat + 0.05)], check=True, cwd=work,
                               env={k: v for k, v in os.environ.items() if k not in ('DISPLAY', 'WAYLAND_DISPLAY')},
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=300)
                recorded = os.path.join(frames, 'frame_%06d.png' % round(beat * 0.3 * 60))
                worst = worst_channel_difference(page, recorded)
                self.assertLessEqual(worst, 2, 'beat %g: the page and the recording differ by %g levels' % (beat, worst))
        finally:
            shutil.rmtree(work, ignore_errors=True)

    def test_start_screen_escape_leaves_and_return_starts(self):
        b = self.browser
        b.open(self.base + '?stepped')
        self.assertEqual('start', b.wait_phase('start'))
        self.assertEqual(['4:3', '16:9', '16:10'],
                         b.js('return [...document.querySelectorAll("#aspect option")].map(o => o.text)'))
        self.assertEqual(['Runit', 'Nah'], b.js('return [runit.textContent, nah.textContent]'))
        self.assertTrue(b.js('return fullscreen.checked && !reduce.checked'))
        self.assertIn('Photosensitivity warning', b.js('return warning.textContent'))
        b.press(Keys.ESCAPE)
        self.assertEqual('ended', b.wait_phase('ended'))
        b.open(self.base + '?stepped')
        b.wait_phase('start')
        b.js('aspect.value = "16:9"; fullscreen.checked = false')
        b.press(Keys.RETURN)
        self.assertEqual('running', b.wait_phase('running'))
        b.js('kestrune.step(1)')
        self.assertFalse(b.js('return !!document.fullscreenElement'))
        left, top, width, height = b.js('return kestrune.letterboxRect()')
        # The program's arithmetic: 16/9 stored as a float is a hair above 16/9.
        self.assertEqual((1280, 719), (width, height))
        b.resize(1000, 720)
        time.sleep(0.3)
        width, height = b.js('return kestrune.letterboxRect()')[2:]
        inner = b.js('return [innerWidth, innerHeight]')
        self.assertEqual(inner[0], width)
        self.assertEqual(int(inner[0] / (16 / 9)), height)

    def test_full_screen_by_default_and_the_picture_follows_it(self):
        b = self.start_stepped()
        self.assertTrue(b.js('return !!document.fullscreenElement'))
        screen = b.js('return [innerWidth, innerHeight]')
        width, height = b.js('return kestrune.letterboxRect()')[2:]
        self.assertEqual(min(screen[0], int(screen[1] * (4 / 3))), width)  # 4:3, the dialog's default
        b.js('document.exitFullscreen()')
        time.sleep(0.5)
        self.assertEqual(720, b.js('return kestrune.letterboxRect()')[3])

    def test_escape_ends_the_show_after_one_more_frame(self):
        b = self.start_stepped()
        b.js('kestrune.step(10)')
        b.press(Keys.ESCAPE)
        self.assertEqual('running', b.js('return kestrune.phase()'))
        b.js('kestrune.step(1)')
        self.assertEqual('ended', b.wait_phase('ended'))

    def snake_picture(self, keys):
        b = self.start_stepped()
        b.js('kestrune.stepTo(570)')
        for key in keys:
            b.tap(key)
            b.js('kestrune.step(30)')
        b.js('kestrune.step(60)')
        png = b.picture_png()
        self.browser.close()
        self.browser = Browser()
        return png

    def test_snake_started_with_2_and_steered(self):
        title = self.snake_picture([])
        game = self.snake_picture(['2'])
        left = self.snake_picture(['2', Keys.ARROW_UP, Keys.ARROW_LEFT])
        right = self.snake_picture(['2', Keys.ARROW_UP, Keys.ARROW_RIGHT])
        self.assertNotEqual(title, game)
        self.assertNotEqual(game, left)
        self.assertNotEqual(left, right)

    def test_f9_puts_the_closing_fire_out_and_f8_lights_it(self):
        b = self.start_stepped()
        b.js('kestrune.stepTo(440)')
        burning = b.picture_png()
        b.hold(Keys.F9, lambda: b.js('kestrune.step(5)'))
        b.js('kestrune.step(90)')
        out = b.picture_png()
        b.hold(Keys.F8, lambda: b.js('kestrune.step(5)'))
        b.js('kestrune.step(90)')
        lit = b.picture_png()
        self.assertNotEqual(burning, out)
        self.assertNotEqual(out, lit)
        self.assertEqual('running', b.js('return kestrune.phase()'))  # the browser kept the key
        self.assertEqual([], b.console_problems())

    def assert_message(self, folder, place, words):
        """The page served from `folder` stops with the program's message:
        titled "Error in file <place>", its text the title and `words`."""
        with serve(folder) as base:
            b = self.browser
            b.open(base)
            self.assertEqual('failed', b.wait_phase('failed'))
            title = b.js('return document.getElementById("error-title").textContent')
            text = b.js('return document.getElementById("error-text").textContent')
            self.assertRegex(title, '^Error in file ' + place + '$')
            self.assertTrue(text.startswith(title + '\n\n' + words), text)
            self.assertTrue(b.js('return !document.getElementById("error").hidden'))
            # The program's standard error reaches the console as warnings;
            # nothing fails uncaught beside it.
            self.assertEqual([], [p for p in b.console_problems() if p['level'] == 'SEVERE'])

    def test_a_broken_archive_shows_the_programs_message(self):
        folder = tempfile.mkdtemp(prefix='kestrune-broken-')
        try:
            for name in os.listdir(SITE):
                shutil.copy(os.path.join(SITE, name), folder)
            with open(os.path.join(folder, 'data.tvl'), 'wb') as f:
                f.write(b'Not a Tavorlin file at all, just text.')
            self.assert_message(folder, r'src\\util\\data\\data\.cpp:\d+', 'Unrecognized datafile header: ')
        finally:
            shutil.rmtree(folder, ignore_errors=True)

    def test_a_song_that_cannot_play_shows_the_programs_message(self):
        with open(os.path.join(CONTENT, SONG), 'rb') as f:
            song = f.read()
        cases = [  # the song, then the program's message
            (b'\x00 no MPEG frames here \x00' * 500, r'src\\util\\music\\music\.cpp:\d+', 'Failed to start the music!'),
            (song[:len(song) // 4], r'src\\show\\show_core\.cpp:\d+', 'The song %s ends at beat ' % SONG),
        ]
        for song_bytes, place, words in cases:
            folder = tempfile.mkdtemp(prefix='kestrune-song-')
            try:
                site_with_song(folder, song_bytes)
                self.assert_message(folder, place, words)
            finally:
                shutil.rmtree(folder, ignore_errors=True)

    def test_the_single_file_plays_from_disk(self):
        png = preview_pngs([150])[150]
        b = self.start_stepped('file://' + os.path.abspath(os.path.join(WEB, 'kestrune.html')) + '?stepped')
        b.js('kestrune.stepTo(150)')
        self.assertEqual(0, b.differing_pixels(png))
        self.assertEqual([], b.console_problems())

    def test_no_console_errors_over_the_whole_show(self):
        b = self.start_stepped()
        # To the closing Snake scene (beat 557), where the beat stops with the
        # song, and five seconds on.
        beat = 0
        for _ in range(2000):  # 16000 frames, well past the song's end
            beat = b.js('return kestrune.step(8)')
            if beat >= 558:
                break
        self.assertGreaterEqual(beat, 558)
        b.js('kestrune.step(300)')
        b.tap('2')
        b.js('kestrune.step(120)')
        b.press(Keys.ESCAPE)
        b.js('kestrune.step(1)')
        self.assertEqual('ended', b.wait_phase('ended'))
        self.assertEqual([], b.console_problems())


if __name__ == '__main__':
    unittest.main(verbosity=2)
