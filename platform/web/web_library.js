// The page's side of the web host (web_host.cpp), linked with --js-library: the canvas and its
// pictures, fonts and marks, the sounds on Web Audio, the gun sight, the message box and the
// close request. The C++ side calls these functions; it hands back the events it cannot get
// through html5.h by function pointers.
mergeInto(LibraryManager.library, {
  $vombrel: {
    canvas: null,
    ctx: null,
    frame: null,  // the game's window on the page, and what goes fullscreen
    width: 0,     // the game's window in its own pixels
    height: 0,
    factor: 1,    // device pixels per pixel of the game
    cssScale: 1,  // CSS pixels per pixel of the game
    opened: false,
    everLocked: false,   // the browser granted the pointer lock on this page
    lockRefused: false,  // it refused before ever granting it: it is not asked again
    pictures: null,  // picture bytes' address -> ImageBitmap
    marks: null,     // marks layer -> canvas with its pixels
    sounds: null,    // sound's hash -> its decoding, a promise of its AudioBuffer
    undecoded: null,  // sound's hash -> how to get its bytes, until the page's sound is made
    audio: null,
    playing: null,
    asked: 0,  // sounds asked for so far: only the latest plays
    sight: null,
    pending: [],
    bytes: function(ptr, len) { return HEAPU8.slice(ptr, ptr + len); },
    // A picture or a font did not come: the page says so (vombrelFailed in index.html).
    failed: false,
    broken: function(what, error) {
      vombrel.failed = true;
      console.error('vombrel:', what + ':', error);
      vombrelFailed(what);
    },
    // Sounds the browser cannot decode (WebKitGTK without its FLAC decoder) leave the game
    // silent, with one warning.
    soundWarned: false,
    unheard: function(error) {
      if (vombrel.soundWarned) return;
      vombrel.soundWarned = true;
      console.warn('vombrel: the browser cannot decode the game\'s sounds; it plays without them:',
                   error);
    },
    // The page starts in short tasks, so that it answers the player at once even on a slow
    // phone: each picture and font is handed to the browser in a task of its own.
    inTask: function(work) {
      return new Promise((resolve) => setTimeout(resolve, 0)).then(work);
    },
    // Text is measured before the canvas exists, on a context of its own.
    measurer: null,
    text: function() {
      if (!vombrel.measurer) vombrel.measurer = document.createElement('canvas').getContext('2d');
      return vombrel.measurer;
    },
    font: '',        // the font texts are measured and drawn in, at the game's size
    measured: null,  // font -> its ascent and descent in whole pixels, texts' widths
    measureScale: 32,
    // Making the page's sound takes long (a tenth of a second on a phone) and it cannot play
    // before a gesture anyway: it is made at the player's first press, and only then are the
    // sounds decoded, off the main thread.
    audioContext: function() {
      const v = vombrel;
      if (!v.audio) {
        v.audio = new AudioContext();
        v.undecoded.forEach((bytes, hash) => v.decode(hash, bytes).catch(v.unheard));
        v.undecoded.clear();
      }
      return v.audio;
    },
    // Each sound is decoded once; `bytes` gives its bytes when it has not been yet.
    decode: function(hash, bytes) {
      const v = vombrel;
      if (!v.sounds.has(hash)) v.sounds.set(hash, v.audio.decodeAudioData(bytes().buffer));
      return v.sounds.get(hash);
    },
  },
  $vombrel__postset: 'vombrel.pictures = new Map(); vombrel.marks = new Map(); ' +
                     'vombrel.measured = new Map(); ' +
                     'vombrel.sounds = new Map(); vombrel.undecoded = new Map(); ' +
                     'vombrel.pending = [];',

  // The page lays the game's box out (vombrelLayout in index.html); at a new factor the canvas
  // takes a backing store of the new size, and the scene shown so far, scaled, until the game
  // paints it anew (for good once the program has ended).
  $vombrel_layout__deps: ['$vombrel'],
  $vombrel_layout: function() {
    const v = vombrel;
    const factor = vombrelLayout(v.width, v.height);
    v.cssScale = factor / (window.devicePixelRatio || 1);
    if (factor === v.factor && v.ctx !== null) return false;
    let old = null;
    if (v.ctx) {
      old = document.createElement('canvas');
      old.width = v.canvas.width;
      old.height = v.canvas.height;
      old.getContext('2d').drawImage(v.canvas, 0, 0);
    }
    v.factor = factor;
    if (v.canvas.width !== v.width * factor || v.canvas.height !== v.height * factor) {
      v.canvas.width = v.width * factor;
      v.canvas.height = v.height * factor;
    }
    v.ctx = v.canvas.getContext('2d', {alpha: false});
    v.ctx.imageSmoothingEnabled = false;
    if (old) v.ctx.drawImage(old, 0, 0, v.canvas.width, v.canvas.height);
    v.ctx.setTransform(factor, 0, 0, factor, 0, 0);
    return true;
  },

  // The page's own events, listened to once, before the game's first run: the C++ side hands
  // back what it wants to hear of them. onRelayout comes when the canvas took a new factor and
  // must be painted anew; onAgain when the player asks for a new run after the end; onTouch
  // with each changed touch on the canvas (its kind, as TouchKind, its identifier and where it
  // is on the page).
  vw_listen__deps: ['$vombrel', '$vombrel_layout'],
  vw_listen: function(onClose, onDialogClosed, onRelayout, onAgain, onTouch) {
    const v = vombrel;
    v.canvas = document.getElementById('canvas');
    v.frame = document.getElementById('window');
    v.sight = document.getElementById('sight');
    const relayout = () => {
      if (v.opened && vombrel_layout()) {{{ makeDynCall('v', 'onRelayout') }}}();
    };
    window.addEventListener('resize', relayout);
    document.addEventListener('fullscreenchange', relayout);
    // A zoom or a move to another screen changes the ratio, sometimes with no resize.
    const watchRatio = () => {
      matchMedia('(resolution: ' + window.devicePixelRatio + 'dppx)')
          .addEventListener('change', () => { relayout(); watchRatio(); }, {once: true});
    };
    watchRatio();
    const fullscreen = document.getElementById('fullscreen');
    fullscreen.hidden = !document.fullscreenEnabled;
    fullscreen.addEventListener('click', () => {
      if (document.fullscreenElement) document.exitFullscreen().catch(() => {});
      else v.frame.requestFullscreen().catch(() => {});
    });
    v.canvas.addEventListener('contextmenu', (e) => e.preventDefault());
    document.addEventListener('pointerlockchange', () => {
      if (document.pointerLockElement) v.everLocked = true;
    });
    document.getElementById('again').addEventListener('click', () => {
      {{{ makeDynCall('v', 'onAgain') }}}();
    });
    v.canvas.addEventListener('mouseleave', () => {
      if (!document.pointerLockElement) v.sight.style.display = 'none';
    });

    // Browsers start sound only after a gesture: a mouse's press or a finger's lift wakes it.
    const wake = () => {
      if (v.audioContext().state === 'suspended') v.audio.resume();
    };
    for (const type of ['pointerdown', 'pointerup']) {
      document.addEventListener(type, wake, {capture: true, passive: true});
    }

    // The canvas's CSS (touch-action: none) keeps the browser from scrolling and zooming there,
    // so touches' starts and moves are listened to passively; a lift cancels the mouse events a
    // browser sends after a tap, if the browser still lets it.
    const kinds = {touchstart: 0, touchmove: 1, touchend: 2, touchcancel: 3};
    for (const type in kinds) {
      v.canvas.addEventListener(type, (e) => {
        if (type === 'touchend' && e.cancelable) e.preventDefault();
        for (let i = 0; i < e.changedTouches.length; ++i) {
          const t = e.changedTouches[i];
          {{{ makeDynCall('viidd', 'onTouch') }}}(kinds[type], t.identifier, t.clientX, t.clientY);
        }
      }, {passive: type !== 'touchend'});
    }

    const dialog = document.getElementById('message');
    dialog.addEventListener('close', () => {{{ makeDynCall('v', 'onDialogClosed') }}}());
    // Leaving the page closes the game's window. A page the browser brings back from its
    // history holds a game that has ended, so it starts afresh.
    window.addEventListener('pagehide', () => {{{ makeDynCall('v', 'onClose') }}}());
    window.addEventListener('pageshow', (e) => {
      if (e.persisted) location.reload();
    });
  },

  // Sets the canvas up for a window of width x height game pixels, once per page; a later call
  // starts a new run on the same canvas.
  vw_open__deps: ['$vombrel', '$vombrel_layout'],
  vw_open: function(width, height, cursor, cursorLen, hotX, hotY) {
    const v = vombrel;
    v.width = width;
    v.height = height;
    document.getElementById('ended').hidden = true;
    if (v.opened) {
      // The program runs again on the page it ran on: the canvas and its events are in place.
      v.ctx.setTransform(1, 0, 0, 1, 0, 0);
      v.ctx.fillStyle = '#000';
      v.ctx.fillRect(0, 0, v.canvas.width, v.canvas.height);
      v.ctx.setTransform(v.factor, 0, 0, v.factor, 0, 0);
      return;
    }
    v.opened = true;
    vombrel_layout();
    // The gun sight: drawn by the page at the game's own pointer, scaled like the scene and cut
    // to it, in place of the page's cursor, whether the pointer is free or locked.
    v.canvas.style.cursor = 'none';
    v.sight.src = URL.createObjectURL(new Blob([v.bytes(cursor, cursorLen)], {type: 'image/x-icon'}));
    v.hotX = hotX;
    v.hotY = hotY;
  },

  // Where the browser says no to the lock (a sandboxed frame, a refused permission) the game
  // plays on with the page's sight; the refusal is expected and not an error. A browser that
  // has never granted the lock on this page and refuses it once will refuse it again, and each
  // refusal costs a warning in the console: we stop asking. One that granted it before may
  // refuse it only for a moment (just after the player pressed Esc), so we go on asking there.
  vw_request_lock__deps: ['$vombrel'],
  vw_request_lock: function() {
    const v = vombrel;
    // In a sandboxed frame of our own site, where the browser would refuse it, we do not ask.
    const frame = window.frameElement;
    if (frame && frame.hasAttribute('sandbox') && !frame.sandbox.contains('allow-pointer-lock'))
      return;
    if (v.lockRefused) return;
    const refused = () => { v.lockRefused = !v.everLocked; };
    try {
      const asked = v.canvas.requestPointerLock();
      if (asked && asked.catch) asked.catch(refused);
    } catch (e) {
      refused();
    }
  },
  vw_exit_lock: function() {
    if (document.pointerLockElement) document.exitPointerLock();
  },

  vw_load_picture__deps: ['$vombrel'],
  vw_load_picture: function(ptr, len) {
    const v = vombrel;
    const as = {colorSpaceConversion: 'none', premultiplyAlpha: 'none'};
    const decode = () => createImageBitmap(new Blob([HEAPU8.subarray(ptr, ptr + len)]), as);
    const failed = (e) => v.broken('a picture cannot be decoded', e);
    v.pending.push(v.inTask(decode).then((bitmap) => v.pictures.set(ptr, bitmap), failed));
  },

  // Each font is read in a task of its own, and in another one the canvas makes it ready to
  // measure and draw with, the longest step of the page's start, so that the game's first frame
  // is quick.
  vw_load_font__deps: ['$vombrel'],
  vw_load_font: function(ptr, len, bold, italic) {
    const v = vombrel;
    const style = {weight: bold ? 'bold' : 'normal', style: italic ? 'italic' : 'normal'};
    const load = () => new FontFace('Vombrel Sans', HEAPU8.subarray(ptr, ptr + len), style).load();
    const ready = () => {
      v.text().font = style.style + ' ' + style.weight + ' 11px "Vombrel Sans"';
      v.text().measureText('Vombrel');
    };
    v.pending.push(v.inTask(load)
                       .then((face) => document.fonts.add(face))
                       .then(() => v.inTask(ready))
                       .catch((e) => v.broken('a font cannot be read', e)));
  },

  vw_load_sound__deps: ['$vombrel'],
  vw_load_sound: function(hash, ptr, len) {
    const v = vombrel;
    const bytes = () => v.bytes(ptr, len);
    if (v.audio) v.decode(hash, bytes).catch(v.unheard);
    else v.undecoded.set(hash, bytes);
  },

  // Calls `ready` once every picture and font asked for so far has loaded; when one has failed,
  // the page says so instead, and the game does not start half drawn.
  vw_when_loaded__deps: ['$vombrel'],
  vw_when_loaded: function(ready) {
    // The canvas's drawing context is made in a task of its own too.
    const canvas = () => document.getElementById('canvas').getContext('2d', {alpha: false});
    const start = () => vombrel.inTask(canvas).then(() => {{{ makeDynCall('v', 'ready') }}}());
    Promise.all(vombrel.pending).then(() => vombrel.failed || start());
    vombrel.pending = [];
  },

  vw_css_scale: function() { return vombrel.cssScale; },
  vw_css_scale__deps: ['$vombrel'],
  vw_canvas_left: function() { return vombrel.canvas.getBoundingClientRect().left; },
  vw_canvas_left__deps: ['$vombrel'],
  vw_canvas_top: function() { return vombrel.canvas.getBoundingClientRect().top; },
  vw_canvas_top__deps: ['$vombrel'],
  vw_viewport_width: function() { return window.innerWidth; },
  vw_viewport_height: function() { return window.innerHeight; },

  vw_clip__deps: ['$vombrel'],
  vw_clip: function(x, y, w, h) {
    const c = vombrel.ctx;
    c.restore();
    c.save();
    c.beginPath();
    c.rect(x, y, w, h);
    c.clip();
  },

  vw_begin_frame__deps: ['$vombrel'],
  vw_begin_frame: function() { vombrel.ctx.save(); },
  vw_end_frame__deps: ['$vombrel'],
  vw_end_frame: function() { vombrel.ctx.restore(); },

  vw_fill__deps: ['$vombrel'],
  vw_fill: function(x, y, w, h, r, g, b) {
    const c = vombrel.ctx;
    c.fillStyle = 'rgb(' + r + ',' + g + ',' + b + ')';
    c.fillRect(x, y, w, h);
  },

  vw_picture__deps: ['$vombrel'],
  vw_picture: function(ptr, x, y) {
    const bitmap = vombrel.pictures.get(ptr);
    if (bitmap) vombrel.ctx.drawImage(bitmap, x, y);
  },

  // A canvas parses each font it is given anew, and the game measures the same few texts over
  // and over: the font is set only when it changes, and each text measured once in each font.
  // Engines hint and round small letters each their own way (WebKit's 11-px labels come out a
  // tenth wider, Firefox's descent a pixel deeper): texts and the font's height are measured
  // at `measureScale` times the size and scaled down, where the font's own design shows through,
  // so that every engine lays the game out alike.
  vw_font__deps: ['$vombrel'],
  vw_font: function(size, bold, italic) {
    const v = vombrel;
    const font = (italic ? 'italic ' : '') + (bold ? 'bold ' : '') + size + 'px "Vombrel Sans"';
    if (font !== v.font) {
      v.font = font;
      v.text().font = font.replace(size + 'px', size * v.measureScale + 'px');
      if (!v.measured.has(font)) {
        // In whole pixels, as the desktop's text engine rounds them.
        const m = v.text().measureText('');
        const scaled = (length) => Math.round(length / v.measureScale);
        v.measured.set(font, {ascent: scaled(m.fontBoundingBoxAscent),
                              descent: scaled(m.fontBoundingBoxDescent), widths: new Map()});
      }
    }
    if (v.ctx) v.ctx.font = font.replace(size + 'px', size * v.factor * 2 + 'px');
  },

  vw_factor__deps: ['$vombrel'],
  vw_factor: function() { return vombrel.factor; },

  vw_measure__deps: ['$vombrel'],
  vw_measure: function(text, len, factor) {
    const v = vombrel, widths = v.measured.get(v.font).widths, s = UTF8ToString(text, len);
    if (!widths.has(s)) widths.set(s, v.text().measureText(s).width / v.measureScale);
    return Math.round(widths.get(s) * factor);
  },

  vw_ascent__deps: ['$vombrel'],
  vw_ascent: function() { return vombrel.measured.get(vombrel.font).ascent; },
  vw_descent__deps: ['$vombrel'],
  vw_descent: function() { return vombrel.measured.get(vombrel.font).descent; },

  // A line of text at (x, baseline) in the canvas's own pixels. Its letters are set at twice that
  // size and halved, as WebKit hints them at the canvas's own size still, spacing small labels
  // unevenly; halved, every engine draws the font's own shapes, alike.
  vw_text__deps: ['$vombrel'],
  vw_text: function(text, len, x, baseline, r, g, b) {
    const c = vombrel.ctx;
    c.save();
    c.setTransform(0.5, 0, 0, 0.5, 0, 0);
    c.fillStyle = 'rgb(' + r + ',' + g + ',' + b + ')';
    c.fillText(UTF8ToString(text, len), x * 2, baseline * 2);
    c.restore();
  },

  vw_marks_update__deps: ['$vombrel'],
  vw_marks_update: function(key, rgba, w, h) {
    let layer = vombrel.marks.get(key);
    if (!layer || layer.width !== w || layer.height !== h) {
      layer = document.createElement('canvas');
      layer.width = w;
      layer.height = h;
      vombrel.marks.set(key, layer);
    }
    const pixels = new ImageData(new Uint8ClampedArray(HEAPU8.slice(rgba, rgba + w * h * 4).buffer), w, h);
    layer.getContext('2d').putImageData(pixels, 0, 0);
  },

  vw_marks_draw__deps: ['$vombrel'],
  vw_marks_draw: function(key, x, y) {
    const layer = vombrel.marks.get(key);
    if (layer) vombrel.ctx.drawImage(layer, x, y);
  },

  // One channel: a new sound stops the one playing. A sound not decoded yet plays when it is,
  // unless another has been asked for meanwhile.
  vw_play_sound__deps: ['$vombrel'],
  vw_play_sound: function(hash, ptr, len) {
    const v = vombrel, ask = ++v.asked;
    if (v.playing) {
      v.playing.stop();
      v.playing = null;
    }
    const play = (buffer) => {
      if (v.asked !== ask) return;
      v.playing = v.audio.createBufferSource();
      v.playing.buffer = buffer;
      v.playing.connect(v.audio.destination);
      v.playing.onended = function() { if (v.playing === this) v.playing = null; };
      v.playing.start();
    };
    v.undecoded.delete(hash);
    v.audioContext();
    v.decode(hash, () => v.bytes(ptr, len)).then(play, v.unheard);
  },

  vw_show_sight__deps: ['$vombrel'],
  vw_show_sight: function(shown, x, y) {
    const v = vombrel;
    const at = (p) => p * v.cssScale + 'px';
    v.sight.style.display = shown ? 'block' : 'none';
    v.sight.style.transform =
        'translate(' + at(x - v.hotX) + ',' + at(y - v.hotY) + ') scale(' + v.cssScale + ')';
  },

  vw_arrow_cursor__deps: ['$vombrel'],
  vw_arrow_cursor: function(arrow) {
    vombrel.canvas.style.cursor = arrow ? 'default' : 'none';
  },

  // The program has ended: its sound stops at once, the page's sound sleeps until the next
  // press, and the page says so over the scene as it was, with the way to play again.
  vw_end_program__deps: ['$vombrel'],
  vw_end_program: function() {
    const v = vombrel;
    ++v.asked;
    if (v.playing) {
      v.playing.stop();
      v.playing = null;
    }
    if (v.audio && v.audio.state === 'running') v.audio.suspend();
    const ended = document.getElementById('ended');
    ended.hidden = false;
    document.getElementById('again').focus();
  },

  // Said politely by screen readers: the end of a game and each new level.
  vw_announce: function(text) {
    document.getElementById('news').textContent = UTF8ToString(text);
  },

  vw_show_texts__deps: ['$vombrel'],
  vw_show_texts: function(lines) { vombrel.canvas.textContent = UTF8ToString(lines); },

  vw_message_box: function(title, text) {
    document.getElementById('message-title').textContent = UTF8ToString(title);
    document.getElementById('message-text').textContent = UTF8ToString(text);
    document.getElementById('message').showModal();
  },
});
