// The page's side of the web host (web_host.cpp), linked with --js-library: the canvas and its
// pictures, fonts and marks, the sounds on Web Audio, the gun sight, the message box and the
// close request. The C++ side calls these functions; it hands back the events it cannot get
// through html5.h by function pointers.
mergeInto(LibraryManager.library, {
  $vombrel: {
    canvas: null,
    ctx: null,
    scene: null,  // the canvas's box, with the sight and the end of the program over it
    frame: null,  // the game's window on the page, and what goes fullscreen
    bar: null,    // the page's own line under the game
    width: 0,     // the game's window in its own pixels
    height: 0,
    factor: 1,    // device pixels per pixel of the game
    cssScale: 1,  // CSS pixels per pixel of the game
    opened: false,
    everLocked: false,   // the browser granted the pointer lock on this page
    lockRefused: false,  // it refused before ever granting it: it is not asked again
    pictures: null,  // picture bytes' address -> ImageBitmap
    marks: null,     // marks layer -> canvas with its pixels
    sounds: null,    // sound's hash -> AudioBuffer
    audio: null,
    playing: null,
    latestSound: 0,
    sight: null,
    pending: [],
    bytes: function(ptr, len) { return HEAPU8.slice(ptr, ptr + len); },
    // Text is measured before the canvas exists, on a context of its own.
    measurer: null,
    text: function() {
      if (!vombrel.measurer) vombrel.measurer = document.createElement('canvas').getContext('2d');
      return vombrel.measurer;
    },
    audioContext: function() {
      if (!vombrel.audio) vombrel.audio = new AudioContext();
      return vombrel.audio;
    },
  },
  $vombrel__postset: 'vombrel.pictures = new Map(); vombrel.marks = new Map(); ' +
                     'vombrel.sounds = new Map(); vombrel.pending = [];',

  // The scene at the largest whole factor of device pixels that fits the browser window beside
  // the page's own bar, or the screen in fullscreen: every pixel of the game is a crisp square of
  // device pixels at any devicePixelRatio, fractional ones too. The canvas's CSS size is its
  // backing store divided by the ratio. The page's scale is the browser's zoom, which the browser
  // itself remembers for the site, so the page keeps no setting of its own.
  $vombrel_layout__deps: ['$vombrel'],
  $vombrel_layout: function() {
    const v = vombrel, dpr = window.devicePixelRatio || 1;
    const full = document.fullscreenElement === v.frame;
    const pageMargin = 16;  // body's margins around the game, left and right or top and bottom
    // The page's own room leaves out its scroll bars: the help below the game scrolls.
    const page = document.documentElement;
    const roomW = full ? window.innerWidth : page.clientWidth - pageMargin;
    const roomH = full ? window.innerHeight : page.clientHeight - pageMargin - v.bar.offsetHeight;
    const factor = Math.max(1, Math.floor(Math.min(roomW * dpr / v.width, roomH * dpr / v.height)));
    const changed = factor !== v.factor || v.ctx === null;
    if (changed) {
      // The scene shown so far, at the new factor, until the game paints it anew; for good once
      // the program has ended.
      let old = null;
      if (v.ctx) {
        old = document.createElement('canvas');
        old.width = v.canvas.width;
        old.height = v.canvas.height;
        old.getContext('2d').drawImage(v.canvas, 0, 0);
      }
      v.factor = factor;
      v.canvas.width = v.width * factor;
      v.canvas.height = v.height * factor;
      v.ctx = v.canvas.getContext('2d', {alpha: false});
      v.ctx.imageSmoothingEnabled = false;
      if (old) v.ctx.drawImage(old, 0, 0, v.canvas.width, v.canvas.height);
      v.ctx.setTransform(factor, 0, 0, factor, 0, 0);
    }
    v.cssScale = factor / dpr;
    // The canvas is laid out at one CSS pixel per pixel of its backing store and shrunk by the
    // ratio: a size of backing / ratio would be rounded to the page's layout units (64ths of a
    // CSS pixel), and at ratios such as 1.75 or 2.625 a column of the scene would be doubled.
    v.canvas.style.width = v.canvas.width + 'px';
    v.canvas.style.height = v.canvas.height + 'px';
    v.canvas.style.transform = 'scale(' + 1 / dpr + ')';
    // Its box, which cuts the sight off at the scene's edges, is rounded up to whole CSS pixels,
    // as the browser may round the cut, so that it never cuts into the scene's last row.
    const box = (pixels) => Math.ceil(pixels / dpr) + 'px';
    v.scene.style.width = box(v.canvas.width);
    v.scene.style.height = box(v.canvas.height);
    v.scene.style.setProperty('--pixel', v.cssScale + 'px');
    v.bar.style.width = full ? '' : v.scene.style.width;
    // Fullscreen centres the scene on black, on whole device pixels so that it stays crisp.
    const margin = (room, size) => Math.floor((room * dpr - size * factor) / 2) / dpr + 'px';
    v.scene.style.marginLeft = full ? margin(roomW, v.width) : '';
    v.scene.style.marginTop = full ? margin(roomH, v.height) : '';
    return changed;
  },

  vw_open__deps: ['$vombrel', '$vombrel_layout'],
  vw_open: function(width, height, cursor, cursorLen, hotX, hotY, onClose, onDialogClosed,
                    onRelayout, onAgain) {
    const v = vombrel;
    v.width = width;
    v.height = height;
    v.canvas = document.getElementById('canvas');
    v.scene = document.getElementById('scene');
    v.frame = document.getElementById('window');
    v.bar = document.getElementById('bar');
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
    const relayout = () => {
      if (vombrel_layout()) {{{ makeDynCall('v', 'onRelayout') }}}();
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

    // The gun sight: drawn by the page at the game's own pointer, scaled like the scene and cut
    // to it, in place of the page's cursor, whether the pointer is free or locked.
    v.canvas.style.cursor = 'none';
    v.sight = document.getElementById('sight');
    v.sight.src = URL.createObjectURL(new Blob([v.bytes(cursor, cursorLen)], {type: 'image/x-icon'}));
    v.canvas.addEventListener('mouseleave', () => {
      if (!document.pointerLockElement) v.sight.style.display = 'none';
    });
    v.hotX = hotX;
    v.hotY = hotY;

    // Browsers start sound only after a gesture: the first press wakes it.
    document.addEventListener('pointerdown', () => {
      if (v.audioContext().state === 'suspended') v.audio.resume();
    }, true);

    const dialog = document.getElementById('message');
    dialog.addEventListener('close', () => {{{ makeDynCall('v', 'onDialogClosed') }}}());
    // Leaving the page closes the game's window. A page the browser brings back from its
    // history holds a game that has ended, so it starts afresh.
    window.addEventListener('pagehide', () => {{{ makeDynCall('v', 'onClose') }}}());
    window.addEventListener('pageshow', (e) => {
      if (e.persisted) location.reload();
    });
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
    v.pending.push(createImageBitmap(new Blob([v.bytes(ptr, len)]),
                                     {colorSpaceConversion: 'none', premultiplyAlpha: 'none'})
                       .then((bitmap) => v.pictures.set(ptr, bitmap),
                             (e) => console.error('vombrel: a picture cannot be decoded:', e)));
  },

  vw_load_font__deps: ['$vombrel'],
  vw_load_font: function(ptr, len, bold, italic) {
    const face = new FontFace('Vombrel Sans', vombrel.bytes(ptr, len),
                              {weight: bold ? 'bold' : 'normal', style: italic ? 'italic' : 'normal'});
    vombrel.pending.push(face.load().then((f) => document.fonts.add(f),
                                          (e) => console.error('vombrel: a font cannot be read:', e)));
  },

  vw_load_sound__deps: ['$vombrel'],
  vw_load_sound: function(hash, ptr, len) {
    const v = vombrel;
    v.pending.push(v.audioContext().decodeAudioData(v.bytes(ptr, len).buffer)
                       .then((buffer) => v.sounds.set(hash, buffer), () => {}));
  },

  // Calls `ready` once every picture, font and sound asked for so far has loaded or failed.
  vw_when_loaded__deps: ['$vombrel'],
  vw_when_loaded: function(ready) {
    Promise.all(vombrel.pending).then(() => {{{ makeDynCall('v', 'ready') }}}());
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

  vw_font__deps: ['$vombrel'],
  vw_font: function(size, bold, italic) {
    const font = (italic ? 'italic ' : '') + (bold ? 'bold ' : '') + size + 'px "Vombrel Sans"';
    vombrel.text().font = font;
    if (vombrel.ctx) vombrel.ctx.font = font;
  },

  vw_measure__deps: ['$vombrel'],
  vw_measure: function(text, len) {
    return Math.round(vombrel.text().measureText(UTF8ToString(text, len)).width);
  },

  // The font's ascent and descent in whole pixels, as the desktop's text engine rounds them.
  vw_ascent__deps: ['$vombrel'],
  vw_ascent: function() { return Math.round(vombrel.text().measureText('').fontBoundingBoxAscent); },
  vw_descent__deps: ['$vombrel'],
  vw_descent: function() { return Math.round(vombrel.text().measureText('').fontBoundingBoxDescent); },

  vw_text__deps: ['$vombrel'],
  vw_text: function(text, len, x, baseline, r, g, b) {
    const c = vombrel.ctx;
    c.fillStyle = 'rgb(' + r + ',' + g + ',' + b + ')';
    c.fillText(UTF8ToString(text, len), x, baseline);
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
    const v = vombrel;
    v.latestSound = hash;
    if (v.playing) {
      v.playing.stop();
      v.playing = null;
    }
    const play = (buffer) => {
      if (v.latestSound !== hash) return;
      v.playing = v.audio.createBufferSource();
      v.playing.buffer = buffer;
      v.playing.connect(v.audio.destination);
      v.playing.onended = function() { if (v.playing === this) v.playing = null; };
      v.playing.start();
    };
    const known = v.sounds.get(hash);
    if (known) {
      play(known);
    } else {
      v.audioContext().decodeAudioData(v.bytes(ptr, len).buffer).then((buffer) => {
        v.sounds.set(hash, buffer);
        play(buffer);
      }, () => {});
    }
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
    v.latestSound = 0;
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
