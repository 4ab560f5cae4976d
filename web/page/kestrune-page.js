// Kestrune in a browser page: the start screen, the song through Web Audio,
// the show core (WebAssembly) driven on the heard position of the song, and
// its 640 x 600 picture letterboxed on a canvas.
'use strict';
(function () {
  const WIDTH = 640, HEIGHT = 600;
  const FPS = 60, START_TICK = 100000;  // the stepped clock of the preview tool
  const params = new URLSearchParams(location.search);
  const stepped = params.has('stepped');  // tests advance frames themselves
  const measureSync = params.has('sync');  // bench/web_bench.py taps the sound played

  const $ = (id) => document.getElementById(id);
  // The canvas holds the picture at its own 640 x 600; the browser scales
  // it to the letterbox bilinearly, as the program's window does.
  const canvas = $('picture');
  canvas.width = WIDTH;
  canvas.height = HEIGHT;
  const view = canvas.getContext('2d', { alpha: false });
  let box = [0, 0, WIDTH, HEIGHT];  // the letterbox in device pixels: left, top, width, height

  let mod = null;       // the WebAssembly module
  let api = null;       // its functions
  let failed = false;   // a fatal message is showing
  let phase = 'loading';  // loading, start, running, ended
  let aspect = Math.fround(4 / 3);
  let builtReduce = false;
  let song = null;      // AudioBuffer of the decoded song
  let audio = null;     // AudioContext
  let clock = null;
  const stats = { frames: [], startedAt: 0, firstFrameAt: 0 };

  // SDL 1.2 key symbols, which the show's key table is made of.
  const SDL_KEYS = { Escape: 27, Enter: 13, NumpadEnter: 13, Space: 32, Tab: 9, ArrowUp: 273,
    ArrowDown: 274, ArrowRight: 275, ArrowLeft: 276, ShiftLeft: 304, ShiftRight: 303,
    ControlLeft: 306, ControlRight: 305, AltLeft: 308, AltRight: 307, NumpadAdd: 270,
    NumpadSubtract: 269, PrintScreen: 316 };
  for (let i = 0; i <= 9; ++i) SDL_KEYS['Digit' + i] = 48 + i;
  for (let i = 1; i <= 12; ++i) SDL_KEYS['F' + i] = 281 + i;
  for (let c = 0; c < 26; ++c) SDL_KEYS['Key' + String.fromCharCode(65 + c)] = 97 + c;

  // ---- fatal messages: the program's error box, as a message in the page
  function showMessage(title, text) {
    failed = true;
    stopAudio();
    $('start').hidden = true;
    $('error-title').textContent = title;
    $('error-text').textContent = text;
    $('error').hidden = false;
    $('error-ok').focus();
  }
  // Calls into the module; a fatal error there has shown its message and
  // ended the program, which surfaces here as its exit.
  function call(fn, ...args) {
    if (failed) return 0;
    try {
      return fn(...args);
    } catch (e) {
      if (e && e.name === 'ExitStatus') {
        failed = true;
        return 0;
      }
      throw e;
    }
  }
  $('error-ok').addEventListener('click', () => { $('error').hidden = true; end(); });

  // ---- the picture
  function letterbox() {
    const ratio = window.devicePixelRatio || 1;
    const width = Math.round(window.innerWidth * ratio), height = Math.round(window.innerHeight * ratio);
    // The program's letterbox arithmetic, on the device's pixels.
    let w, h;
    if (width / height > aspect) { w = Math.trunc(height * aspect); h = height; } else { w = width; h = Math.trunc(width / aspect); }
    const x = Math.trunc((width - w) / 2), y = Math.trunc((height - h) / 2);
    box = [x, y, w, h];
    canvas.style.left = x / ratio + 'px';
    canvas.style.top = y / ratio + 'px';
    canvas.style.width = w / ratio + 'px';
    canvas.style.height = h / ratio + 'px';
  }
  window.addEventListener('resize', letterbox);
  document.addEventListener('fullscreenchange', letterbox);

  function takePicture() {
    const pixels = new Uint8ClampedArray(mod.HEAPU8.buffer, api.picture(), WIDTH * HEIGHT * 4);
    view.putImageData(new ImageData(pixels, WIDTH, HEIGHT), 0, 0);
  }

  // ---- the song and its heard position
  function stopAudio() {
    if (audio) audio.close().catch(() => {});
    audio = null;
  }
  // Seconds of the song the listener has heard: the output's own timestamp
  // moved on to now, else what was handed over less the output latency;
  // never backwards, never ahead of what was handed over.
  class HeardClock {
    constructor(context, startTime, length) {
      this.context = context;
      this.start = startTime;
      this.length = length;
      this.last = 0;
    }
    handed() { return this.context.currentTime - this.start; }
    heardAt(nowMs) {
      const c = this.context;
      const stamp = c.getOutputTimestamp ? c.getOutputTimestamp() : null;
      if (stamp && stamp.contextTime > 0 && stamp.performanceTime > 0)
        return stamp.contextTime + (nowMs - stamp.performanceTime) / 1000 - this.start;
      return this.handed() - (c.outputLatency || 0) - (c.baseLatency || 0);
    }
    seconds(nowMs) {
      let s = Math.min(this.heardAt(nowMs), this.handed());
      s = Math.min(Math.max(s, this.last), this.length);
      this.last = s;
      return s;
    }
  }

  function decodeSong() {
    const frames = call(api.decodeSong);
    if (failed) return;
    const pcm = new Int16Array(mod.HEAPU8.buffer, api.songPcm(), frames * 2);
    const left = new Float32Array(frames), right = new Float32Array(frames);
    for (let i = 0; i < frames; ++i) {
      left[i] = pcm[2 * i] / 32768;
      right[i] = pcm[2 * i + 1] / 32768;
    }
    api.releaseSong();
    song = { frames, left, right };
  }

  function startAudio() {
    try {
      audio = new AudioContext({ sampleRate: 44100, latencyHint: 'interactive' });
      const buffer = audio.createBuffer(2, song.frames, 44100);
      buffer.copyToChannel(song.left, 0);
      buffer.copyToChannel(song.right, 1);
      const source = audio.createBufferSource();
      source.buffer = buffer;
      source.connect(audio.destination);
      const when = audio.currentTime + 0.05;
      source.start(when);
      audio.resume().catch(() => {});
      clock = new HeardClock(audio, when, song.frames / 44100);
      if (measureSync) addTap(source).catch((e) => console.warn('no sync tap: ' + e.message));
    } catch (e) {
      showMessage('Error in file web\\page\\kestrune-page.js', 'Error in file web\\page\\kestrune-page.js\n\n' +
        'Failed to start the music!\n(' + e.message + ')');
    }
  }

  // ---- measuring sync against the sound played (?sync): a tap between the
  // song and the output sends every fourth block of samples with
  // the context frame they pass at; found in the decoded song, they give the
  // song sample at any context frame, and the output's timestamp gives the
  // context frame being heard at a picture's time.
  const TAP_CODE = `class KestruneTap extends AudioWorkletProcessor {
    constructor() { super(); this.blocks = 0; }
    process(inputs, outputs) {
      const input = inputs[0], output = outputs[0];
      for (let c = 0; c < output.length; ++c) if (input[c]) output[c].set(input[c]);
      if (input.length && (this.blocks++ & 3) === 0)
        this.port.postMessage({ frame: currentFrame, samples: input[0].slice() });
      return true;
    }
  }
  registerProcessor('kestrune-tap', KestruneTap);`;
  const tap = { songMinusContext: null, lastOffset: null, found: 0, silent: 0, lost: 0, offsets: {} };
  async function addTap(source) {
    const url = URL.createObjectURL(new Blob([TAP_CODE], { type: 'text/javascript' }));
    await audio.audioWorklet.addModule(url);
    const node = new AudioWorkletNode(audio, 'kestrune-tap', { outputChannelCount: [2] });
    node.port.onmessage = (e) => findTapped(e.data.frame, e.data.samples);
    source.connect(node);
    node.connect(audio.destination);
    source.disconnect(audio.destination);
  }
  function findTapped(frame, samples) {
    let distinct = 0;
    for (let i = 1; i < samples.length; ++i) if (samples[i] !== samples[0]) ++distinct;
    if (distinct < samples.length / 2) { ++tap.silent; return; }  // silence matches anywhere
    const left = song.left;
    const matchesAt = (k) => {
      if (k < 0 || k + samples.length > left.length) return false;
      for (let i = 0; i < samples.length; ++i) if (left[k + i] !== samples[i]) return false;
      return true;
    };
    // Nearest first to where the scheduled start puts it, up to 2 s away.
    const guess = frame - Math.round(clock.start * 44100);
    for (let d = 0; d <= 88200; ++d) {
      const k = matchesAt(guess - d) ? guess - d : matchesAt(guess + d) ? guess + d : -1;
      if (k < 0) continue;
      // Taken when two blocks in a row agree: a block of the song that
      // recurs nearer the guess must not move the measurement.
      if (k - frame === tap.lastOffset) tap.songMinusContext = k - frame;
      tap.lastOffset = k - frame;
      tap.offsets[k - frame] = (tap.offsets[k - frame] || 0) + 1;
      ++tap.found;
      return;
    }
    ++tap.lost;
  }
  // Seconds of the song being heard at `nowMs` by the tap, or null.
  function tappedSeconds(nowMs) {
    const stamp = audio.getOutputTimestamp();
    if (tap.songMinusContext === null || !(stamp.performanceTime > 0)) return null;
    const heardFrame = (stamp.contextTime + (nowMs - stamp.performanceTime) / 1000) * 44100;
    return (heardFrame + tap.songMinusContext) / 44100;
  }

  // ---- the show
  function build(reduce) {
    call(api.create, reduce ? 1 : 0, FPS, START_TICK);
    builtReduce = reduce;
  }

  function run() {
    if (phase !== 'start' || failed) return;
    const reduce = $('reduce').checked;
    aspect = Math.fround({ '4:3': 4 / 3, '16:9': 16 / 9, '16:10': 16 / 10 }[$('aspect').value]);
    stats.startedAt = performance.now();
    if (reduce !== builtReduce) build(reduce);
    if (failed) return;
    $('start').hidden = true;
    phase = 'running';
    canvas.style.display = 'block';
    if ($('fullscreen').checked && document.documentElement.requestFullscreen)
      document.documentElement.requestFullscreen().catch(() => {});
    letterbox();
    if (stepped) return;
    startAudio();
    requestAnimationFrame(frame);
  }

  function frame(now) {
    if (phase !== 'running' || failed) return;
    const seconds = clock.seconds(now);
    const t0 = performance.now();
    const beat = call(api.frameAt, seconds, 1);
    if (failed) return;
    const t1 = performance.now();
    takePicture();
    const t2 = performance.now();
    if (!stats.firstFrameAt) stats.firstFrameAt = t2;
    // Per frame: its time, the song's position drawn, the beat, the heard
    // position at the frame's time, the milliseconds spent in the show core
    // (scenes and renderer) and in handing the picture to the canvas, and
    // the position the sync tap finds heard (?sync).
    if (stats.frames.length < 20000)
      stats.frames.push([now, seconds, beat, clock.heardAt(now), t1 - t0, t2 - t1, measureSync ? tappedSeconds(now) : null]);
    if (api.finished()) { end(); return; }
    requestAnimationFrame(frame);
  }

  function end() {
    if (phase === 'ended') return;
    phase = 'ended';
    stopAudio();
    canvas.style.display = 'none';
    $('start').hidden = true;
    if (!failed) $('ended').hidden = false;
    if (document.fullscreenElement) document.exitFullscreen().catch(() => {});
  }

  // ---- keys
  function onKey(event, down) {
    if (failed) {
      if (down && (event.key === 'Enter' || event.key === 'Escape')) { $('error').hidden = true; end(); }
      return;
    }
    if (phase === 'start') {
      if (!down) return;
      if (event.key === 'Escape') { event.preventDefault(); end(); }
      else if (event.key === 'Enter' && document.activeElement !== $('nah')) { event.preventDefault(); run(); }
      return;
    }
    if (phase !== 'running') return;
    const symbol = SDL_KEYS[event.code];
    if (symbol === undefined) return;
    event.preventDefault();  // F8/F9, the arrows and the rest belong to the show
    if (down && event.repeat) return;
    call(api.key, symbol, down ? 1 : 0);
  }
  document.addEventListener('keydown', (e) => onKey(e, true));
  document.addEventListener('keyup', (e) => onKey(e, false));
  $('runit').addEventListener('click', run);
  $('nah').addEventListener('click', () => { if (phase === 'start') end(); });
  $('reduce').addEventListener('change', () => { if (phase === 'start') build($('reduce').checked); });

  // ---- loading
  async function archiveBytes() {
    if (window.KESTRUNE_ARCHIVE) {
      const text = atob(window.KESTRUNE_ARCHIVE);
      const bytes = new Uint8Array(text.length);
      for (let i = 0; i < text.length; ++i) bytes[i] = text.charCodeAt(i);
      return bytes;
    }
    const response = await fetch(params.get('archive') || 'data.tvl');
    if (!response.ok) return new Uint8Array(0);
    return new Uint8Array(await response.arrayBuffer());
  }

  async function load() {
    $('start').hidden = false;
    mod = await KestruneModule({
      kestruneMessage: showMessage,
      kestruneQuestion: (title, text) => window.confirm(title + '\n\n' + text),
      print: (text) => console.log(text),
      printErr: (text) => console.warn(text),
    });
    api = {
      openArchive: mod.cwrap('kw_open_archive', null, ['string']),
      decodeSong: mod.cwrap('kw_decode_song', 'number', []),
      songPcm: mod.cwrap('kw_song_pcm', 'number', []),
      releaseSong: mod.cwrap('kw_release_song', null, []),
      create: mod.cwrap('kw_create', null, ['number', 'number', 'number']),
      frameAt: mod.cwrap('kw_frame_at', 'number', ['number', 'number']),
      step: mod.cwrap('kw_step', 'number', ['number']),
      stopped: mod.cwrap('kw_stopped', 'number', []),
      stopAt: mod.cwrap('kw_stop_at', null, ['number']),
      nextFrameStops: mod.cwrap('kw_next_frame_stops', 'number', []),
      key: mod.cwrap('kw_key', null, ['number', 'number']),
      finished: mod.cwrap('kw_finished', 'number', []),
      picture: mod.cwrap('kw_picture', 'number', []),
    };
    mod.FS.writeFile('/data.tvl', await archiveBytes());
    call(api.openArchive, '/data.tvl');
    if (!failed) decodeSong();
    if (!failed) build($('reduce').checked);
    if (failed) return;
    phase = 'start';
    $('loading').hidden = true;
    $('runit').disabled = false;
    $('runit').focus();
  }

  // ---- hooks for tests and measurements
  window.kestrune = {
    phase: () => phase,
    failed: () => failed,
    stats: () => ({ startedAt: stats.startedAt, firstFrameAt: stats.firstFrameAt, frames: stats.frames }),
    letterboxRect: () => box.slice(),
    // Stepped clock: `count` frames, the last drawn; returns its beat.
    step(count) {
      let beat = 0;
      for (let i = 0; i < count && !failed; ++i) beat = call(api.step, i === count - 1 ? 1 : 0);
      if (!failed) takePicture();
      if (api.finished()) end();
      return beat;
    },
    // Stepped clock: runs to exactly `beat` and draws it.
    stepTo(beat) {
      call(api.stopAt, beat);
      let b = 0;
      while (!failed) {
        const last = api.nextFrameStops();
        b = call(api.step, last);
        if (api.stopped()) break;
      }
      if (!failed) takePicture();
      return b;
    },
    picturePng: () => canvas.toDataURL('image/png'),
    // The output's latencies and how far the heard position stands behind
    // what was handed over, in seconds.
    audioInfo: () => audio && clock ? { outputLatency: audio.outputLatency, baseLatency: audio.baseLatency,
      behind: clock.handed() - clock.heardAt(performance.now()), sampleRate: audio.sampleRate,
      scheduledStart: clock.start, tap: measureSync ? tap : null } : null,
  };

  load().catch((e) => showMessage('Error', String(e && e.message || e)));
})();
