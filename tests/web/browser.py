"""Headless Chromium for the page's tests: a private profile, a local
server on 127.0.0.1 over a folder, and the page's own hooks."""
import base64
import contextlib
import functools
import http.server
import os
import shutil
import tempfile
import threading

from selenium import webdriver
from selenium.webdriver.chrome.options import Options
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.keys import Keys


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map, '.wasm': 'application/wasm',
                      '.js': 'text/javascript'}

    def log_message(self, *args):
        pass


@contextlib.contextmanager
def serve(folder):
    """Serves `folder` on a free port of 127.0.0.1; yields the base address."""
    handler = functools.partial(QuietHandler, directory=folder)
    server = http.server.ThreadingHTTPServer(('127.0.0.1', 0), handler)
    thread = threading.Thread(target=server.serve_forever, daemon=True)
    thread.start()
    try:
        yield 'http://127.0.0.1:%d/' % server.server_address[1]
    finally:
        server.shutdown()
        server.server_close()


class Browser:
    def __init__(self, width=1280, height=720, webgl=False, extra_args=()):
        self.profile = tempfile.mkdtemp(prefix='kestrune-chromium-')
        options = Options()
        options.binary_location = shutil.which('chromium') or '/usr/bin/chromium'
        for arg in ('--headless=new', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
                    '--disable-background-networking', '--disable-component-update', '--disable-sync',
                    '--allow-file-access-from-files', '--user-data-dir=' + self.profile,
                    '--window-size=%d,%d' % (width, height)):
            options.add_argument(arg)
        if webgl:
            options.add_argument('--enable-unsafe-swiftshader')
        for arg in extra_args:
            options.add_argument(arg)
        options.set_capability('goog:loggingPrefs', {'browser': 'ALL'})
        service = Service(shutil.which('chromedriver') or '/usr/bin/chromedriver')
        self.driver = webdriver.Chrome(service=service, options=options)
        self.driver.set_script_timeout(600)
        self.resize(width, height)

    def resize(self, width, height):
        """Makes the page's own area (innerWidth x innerHeight) this size."""
        self.driver.set_window_size(width, height)
        inner = self.driver.execute_script('return [innerWidth, innerHeight]')
        self.driver.set_window_size(2 * width - inner[0], 2 * height - inner[1])

    def close(self):
        self.driver.quit()
        shutil.rmtree(self.profile, ignore_errors=True)

    def open(self, url):
        self.driver.get(url)

    def js(self, script, *args):
        return self.driver.execute_script(script, *args)

    def wait_phase(self, *phases, timeout=60):
        import time
        end = time.time() + timeout
        while time.time() < end:
            phase = self.js('return window.kestrune ? (kestrune.failed() ? "failed" : kestrune.phase()) : "none"')
            if phase in phases:
                return phase
            time.sleep(0.05)
        raise AssertionError('the page stayed in %r, waiting for %r' % (phase, phases))

    def press(self, key):
        ActionChains(self.driver).send_keys(key).perform()

    def tap(self, key):
        ActionChains(self.driver).key_down(key).key_up(key).perform()

    def hold(self, key, during):
        ActionChains(self.driver).key_down(key).perform()
        during()
        ActionChains(self.driver).key_up(key).perform()

    def picture_png(self):
        url = self.js('return kestrune.picturePng()')
        return base64.b64decode(url.split(',', 1)[1])

    def differing_pixels(self, png_bytes, tolerance=0):
        """Pixels of the page's 640 x 600 picture that differ from a PNG by
        more than `tolerance` levels in a channel."""
        data = 'data:image/png;base64,' + base64.b64encode(png_bytes).decode()
        return self.driver.execute_async_script('''
            const [url, tolerance, done] = arguments;
            const image = new Image();
            image.onload = () => {
              const c = document.createElement('canvas');
              c.width = 640; c.height = 600;
              const g = c.getContext('2d');
              g.drawImage(image, 0, 0);
              const want = g.getImageData(0, 0, 640, 600).data;
              const have = document.createElement('canvas');
              have.width = 640; have.height = 600;
              const h = have.getContext('2d');
              const img = new Image();
              img.onload = () => {
                h.drawImage(img, 0, 0);
                const got = h.getImageData(0, 0, 640, 600).data;
                let n = 0;
                for (let i = 0; i < got.length; i += 4)
                  if (Math.abs(got[i] - want[i]) > tolerance || Math.abs(got[i + 1] - want[i + 1]) > tolerance ||
                      Math.abs(got[i + 2] - want[i + 2]) > tolerance) ++n;
                done(n);
              };
              img.src = kestrune.picturePng();
            };
            image.onerror = () => done(-1);
            image.src = url;''', data, tolerance)

    def console_problems(self):
        """Console messages at warning level and above since the last call."""
        return [e for e in self.driver.get_log('browser') if e['level'] in ('SEVERE', 'WARNING')]


__all__ = ['Browser', 'serve', 'Keys']
