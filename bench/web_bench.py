#!/usr/bin/env python3
"""The show's page measured in headless Chromium, live clock and Web Audio:

    python3 bench/web_bench.py [SECONDS] [WIDTHxHEIGHT] [--unlimited]
    (after scripts/web.sh --no-serve)

- frames a second in every 10 s of the show, from the page's
  requestAnimationFrame times, with the page's own work per frame (show
  core and renderer, handing the picture to the canvas) in that window;
  two baseline pages in the same browser first: an empty animation frame
  loop (the browser's own frame pacing) and one that hands the same still
  640 x 600 picture to a canvas the browser scales to 1280 x 719 every
  frame (the browser's work for the page without the show's). --unlimited runs Chromium without its frame rate
  limit and vsync, to show how fast the page could go;
- sync: the beat each picture was drawn at against the song samples being
  heard at that frame, found by a tap on the audio graph's output (the
  samples that pass it, looked up in the decoded song, at the context frame
  the output's timestamp says is heard): mean, 99th percentile and worst
  |error|; and, for comparison, against the heard clock's own reading;
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
BEAT_SECONDS = 0.3

EMPTY_PAGE = ('<body style="margin:0;background:#000"><script>window.t=[];'
              'function f(n){t.push(n);requestAnimationFrame(f)}requestAnimationFrame(f)</script>')
# What the page asks of the browser each frame without the show: a 640 x 600
# picture handed to a canvas that the browser scales to the 16:9 letterbox.
SCALING_PAGE = ('<body style="margin:0;background:#000"><canvas id=c width=640 height=600'
                ' style="position:absolute;width:1280px;height:719px;top:0;left:0"></canvas><script>'
                'const g=document.getElementById("c").getContext("2d",{alpha:false});'
                'const p=new ImageData(640,600);for(let i=0;i<p.data.length;i+=4)'
                '{p.data[i]=i%255;p.data[i+3]=255}window.t=[];'
                'function f(n){g.putImageData(p,0,0);t.push(n);requestAnimationFrame(f)}'
                'requestAnimationFrame(f)</script>')


# The same with a song playing: Web Audio's rendering shares the machine.
SOUNDING_PAGE = SCALING_PAGE.replace('<script>', '<script>const a=new AudioContext({sampleRate:44100});'
                                     'const b=a.createBuffer(2,441000,44100);for(let c=0;c<2;++c){const d=b.getChannelData(c);'
                                     'for(let i=0;i<d.length;++i)d[i]=Math.sin(i/7)*0.1}'
                                     'const s=a.createBufferSource();s.buffer=b;s.loop=true;s.connect(a.destination);'
                                     's.start();a.resume();')


def rate(times):
    return (len(times) - 1) / ((times[-1] - times[0]) / 1000) if len(times) > 1 else 0.0


def percentile(values, p):
    values = sorted(values)
    return values[min(len(values) - 1, int(p * (len(values) - 1)))] if values else float('nan')


def baseline(browser, page, seconds=8):
    browser.open('data:text/html,' + urllib.parse.quote(page))
    time.sleep(seconds)
    return rate(browser.js('return t'))


def main():
    args = [a for a in sys.argv[1:] if not a.startswith('--')]
    unlimited = '--unlimited' in sys.argv
    seconds = float(args[0]) if args else 60
    width, height = (int(v) for v in (args[1] if len(args) > 1 else '1280x720').split('x'))
    site = os.path.join(WEB, 'site')
    weight = sum(os.path.getsize(os.path.join(site, n)) for n in os.listdir(site))
    single = os.path.getsize(os.path.join(WEB, 'kestrune.html'))
    print('page weight: %.2f MB (%s), one-file page %.2f MB' % (weight / 1e6, site, single / 1e6))

    # The sounding baseline starts its sound without a key press.
    extra = ('--autoplay-policy=no-user-gesture-required',)
    if unlimited:
        extra += ('--disable-frame-rate-limit', '--disable-gpu-vsync')
    browser = Browser(width, height, extra_args=extra)
    try:
        print('baseline pages, frames a second: empty loop %.1f, a still picture handed over and scaled each frame %.1f,'
              ' the same with sound playing %.1f' % (baseline(browser, EMPTY_PAGE), baseline(browser, SCALING_PAGE),
                                                     baseline(browser, SOUNDING_PAGE)))
        with serve(site) as base:
            browser.open(base + '?sync')
            browser.wait_phase('start')
            browser.js('fullscreen.checked = false; aspect.value = "16:9"')
            browser.press(Keys.RETURN)
            time.sleep(seconds)
            stats = browser.js('return kestrune.stats()')
            info = browser.js('return kestrune.audioInfo()')
            problems = browser.console_problems()
        print('baselines after the show: empty loop %.1f, still picture with sound %.1f' % (
            baseline(browser, EMPTY_PAGE), baseline(browser, SOUNDING_PAGE)))
    finally:
        browser.close()

    frames = stats['frames']
    tap = info.pop('tap')
    print('audio output: %r' % info)
    print('click to first frame: %.0f ms' % (stats['firstFrameAt'] - stats['startedAt']))
    # Windows of 10 s from the first frame; the last, partial one is left out.
    t0 = frames[0][0]
    windows = {}
    for f in frames:
        windows.setdefault(int((f[0] - t0) // 10000), []).append(f)
    print('per 10 s of the show: frames a second; the page\'s work per frame (show core and renderer + canvas):'
          ' median, p99, max ms; refreshes missed (a frame interval over 25 ms), and of those after a frame'
          ' whose work took over 16.7 ms')
    for w in sorted(windows)[:-1]:
        fs = windows[w]
        work = [f[4] + f[5] for f in fs]
        missed = [(fs[i][0] - fs[i - 1][0], fs[i - 1][4] + fs[i - 1][5]) for i in range(1, len(fs))
                  if fs[i][0] - fs[i - 1][0] > 25]
        print('  %3d-%3d s: %5.1f fps; %4.1f (%.1f + %.1f), %4.1f, %5.1f ms; missed %d, after long work %d' % (
            w * 10, w * 10 + 10, rate([f[0] for f in fs]), percentile(work, 0.5), percentile([f[4] for f in fs], 0.5),
            percentile([f[5] for f in fs], 0.5), percentile(work, 0.99), max(work),
            sum(round(gap / (1000 / 60)) - 1 for gap, _ in missed), sum(1 for _, took in missed if took > 16.7)))

    def sync(label, errors):
        errors = sorted(errors)
        if errors:
            print('sync %s: mean %.2f ms, p99 %.2f ms, max %.2f ms over %d frames' % (
                label, sum(errors) / len(errors), percentile(errors, 0.99), errors[-1], len(errors)))

    played = [f for f in frames if f[1] > 0.1 and f[6] is not None]
    sync('|picture - song samples heard (tap)|', [abs(f[2] * BEAT_SECONDS - f[6]) * 1000 for f in played])
    sync('|picture - heard clock|', [abs(f[2] * BEAT_SECONDS - f[3]) * 1000 for f in frames if f[1] > 0.1])
    offsets = {int(k): v for k, v in tap['offsets'].items()}
    print('tap: %d blocks found in the song, %d silent, %d not found; song sample - context frame: %s;'
          ' the scheduled start puts it at %d' % (tap['found'], tap['silent'], tap['lost'],
                                                  ', '.join('%d (%d blocks)' % kv for kv in sorted(offsets.items())),
                                                  -round(info['scheduledStart'] * 44100)))
    print('console problems: %d' % len(problems))
    for p in problems[:5]:
        print('  ', p['message'][:200])


if __name__ == '__main__':
    main()
