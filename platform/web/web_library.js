// The page's side of the web host (web_host.cpp), linked with --js-library: the canvas and its
// pictures, fonts and marks, the sounds on Web Audio, the gun sight, the message box and the
// close request. The C++ side calls these functions; it hands back the events it cannot get
// through html5.h by function pointers.
mergeInto(LibraryManager.library, {
  $vombrel: {
    canvas: null,
    ctx: null,
    scale: 1,
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

  // The canvas at the window's size, drawn at a whole factor of the screen's density so that
  // every pixel of the game is a crisp square of device pixels.
  vw_open__deps: ['$vombrel'],
  vw_open: function(title, width, height, cursor, cursorLen, hotX, hotY, onClose, onDialogClosed) {
    const v = vombrel;
    document.title = UTF8ToString(title);
    v.canvas = document.getElementById('canvas');
    v.scale = Math.max(1, Math.floor(window.devicePixelRatio || 1));
    v.canvas.width = width * v.scale;
    v.canvas.height = height * v.scale;
    v.canvas.style.width = width + 'px';
    v.canvas.style.height = height + 'px';
    v.ctx = v.canvas.getContext('2d', {alpha: false});
    v.ctx.setTransform(v.scale, 0, 0, v.scale, 0, 0);
    v.ctx.imageSmoothingEnabled = false;
    v.canvas.addEventListener('contextmenu', (e) => e.preventDefault());

    // The gun sight: the page's cursor while the pointer is free, and drawn by the page at the
    // game's own pointer while the pointer is locked.
    const cur = URL.createObjectURL(new Blob([v.bytes(cursor, cursorLen)], {type: 'image/x-icon'}));
    v.cursor = 'url(' + cur + ') ' + hotX + ' ' + hotY + ', crosshair';
    v.canvas.style.cursor = v.cursor;
    v.sight = document.getElementById('sight');
    v.sight.src = cur;
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
    v.sight.style.display = shown ? 'block' : 'none';
    v.sight.style.transform = 'translate(' + (x - v.hotX) + 'px,' + (y - v.hotY) + 'px)';
  },

  vw_arrow_cursor__deps: ['$vombrel'],
  vw_arrow_cursor: function(arrow) {
    vombrel.canvas.style.cursor = arrow ? 'default' : vombrel.cursor;
  },

  vw_show_texts__deps: ['$vombrel'],
  vw_show_texts: function(lines) { vombrel.canvas.textContent = UTF8ToString(lines); },

  vw_message_box: function(title, text) {
    document.getElementById('message-title').textContent = UTF8ToString(title);
    document.getElementById('message-text').textContent = UTF8ToString(text);
    document.getElementById('message').showModal();
  },
});
