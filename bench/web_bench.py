#!/usr/bin/env python3
"""The show's page measured in headless Chromium, live clock and Web Audio:

    python3 bench/web_bench.py [SECONDS] [WIDTHxHEIGHT]    (after scripts/web.sh --no-serve)

- frames a second in every 10 s of the show, from the page's
  requestAnimationFrame times;
- sync: the beat each picture was drawn at, in seconds, against the audio
  context's heard position at that frame (output timestamp moved on to the
  frame's time): mean and 99th percentile of |error|;
- click to first frame: from Runit's key press to the first drawn picture;
- page weight: every file of the served folder, and the one-file page.
"""
import os
import sys
import time
import urllib.parse

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'tests', 'web'))
from browser import Browser, Keys, serve  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
WEB = os.environ.get('KESTRUNE_WEB_BUILD', os.path.join(ROOT, 'build-web'))


def main():
    seconds = float(sys.argv[1]) if len(sys.argv) > 1 else 60
    width, height = (int(v) for v in (sys.argv[2] if len(sys.argv) > 2 else '1280x720').split('x'))
    site = os.path.join(WEB, 'site')
    weight = sum(os.path.getsize(os.path.join(site, n)) for n in os.listdir(site))
    single = os.path.getsize(os.path.join(WEB, 'kestrune.html'))
    print('page weight: %.2f MB (%s), one-file page %.2f MB' % (weight / 1e6, site, single / 1e6))

    browser = Browser(width, height)
    try:
        # Baseline in the same run: a page that only scales a still 640 x 600
        # picture onto a canvas of the same size every frame.
        browser.open('data:text/html,' + urllib.parse.quote('<body style="margin:0;background:#000"><canvas id=c></canvas><script>'
                     'const c=document.getElementById("c");c.width=innerWidth;c.height=innerHeight;'
                     'const g=c.getContext("2d",{alpha:false});const o=document.createElement("canvas");'
                     'o.width=640;o.height=600;o.getContext("2d").fillRect(0,0,320,300);window.t=[];'
                     'function f(n){g.drawImage(o,0,0,c.width,c.height);t.push(n);requestAnimationFrame(f)}'
                     'requestAnimationFrame(f)</script>'))
        time.sleep(10)
        base_times = browser.js('return t')
        base_fps = (len(base_times) - 1) / ((base_times[-1] - base_times[0]) / 1000)
        print('baseline page (a still picture scaled each frame): %.1f frames a second' % base_fps)
        with serve(site) as base:
            browser.open(base + '?aspect')
            browser.wait_phase('start')
            browser.js('fullscreen.checked = false; aspect.value = "16:9"')
            browser.press(Keys.RETURN)
            time.sleep(seconds)
            stats = browser.js('return kestrune.stats()')
            info = browser.js('return kestrune.audioInfo()')
            problems = browser.console_problems()
    finally:
        browser.close()

    frames = stats['frames']
    print('audio output: %r' % info)
    print('click to first frame: %.0f ms' % (stats['firstFrameAt'] - stats['startedAt']))
    # Windows of 10 s from the first frame; the last, partial one is left out.
    t0 = frames[0][0]
    windows = {}
    for f in frames:
        windows.setdefault(int((f[0] - t0) // 10000), []).append(f[0])
    print('frames a second per 10 s of the show:')
    for w in sorted(windows)[:-1]:
        times = windows[w]
        print('  %3d-%3d s: %.1f' % (w * 10, w * 10 + 10, (len(times) - 1) / ((times[-1] - times[0]) / 1000)))
    errors = sorted(abs(f[2] * 0.3 - f[3]) * 1000 for f in frames if f[1] > 0.1)
    if errors:
        print('sync |picture - heard|: mean %.2f ms, p99 %.2f ms, max %.2f ms over %d frames' % (
            sum(errors) / len(errors), errors[int(0.99 * (len(errors) - 1))], errors[-1], len(errors)))
    core = sorted(f[4] for f in frames)
    canvas = sorted(f[5] for f in frames)
    print('per frame: show core and CPU renderer median %.1f ms (p90 %.1f), canvas median %.1f ms (p90 %.1f)' % (
        core[len(core) // 2], core[int(0.9 * len(core))], canvas[len(canvas) // 2], canvas[int(0.9 * len(canvas))]))
    print('console problems: %d' % len(problems))
    for p in problems[:5]:
        print('  ', p['message'][:200])


if __name__ == '__main__':
    main()
