// The page's functions that the web host calls (web_library.js, linked with --js-library). Only
// platform/web includes this; each function is one step on the canvas, the sound or the page.
#pragma once

#include <cstddef>
#include <cstdint>

// A touch's step, as vw_listen hands it over.
enum class TouchKind : int { Start = 0, Move = 1, End = 2, Cancel = 3 };

extern "C" {
// Listens to the page's own events, once, before the first run: the page's close, the message
// box's, a new factor of the canvas (which must be painted anew), the player's asking for a new
// run after the end, and each changed touch on the canvas, with its kind (TouchKind), its
// identifier and where it is on the page (CSS pixels from the viewport's corner).
void vw_listen(void (*onClose)(), void (*onDialogClosed)(), void (*onRelayout)(), void (*onAgain)(),
               void (*onTouch)(int kind, int id, double clientX, double clientY));
// Sets the canvas up for a window of width x height game pixels, once per page; a later call
// starts a new run on the same canvas.
void vw_open(int width, int height, const std::uint8_t* cursor, std::size_t cursorLen, int hotX,
             int hotY);
void vw_load_picture(const std::uint8_t* bytes, std::size_t len);
void vw_load_font(const std::uint8_t* bytes, std::size_t len, bool bold, bool italic);
void vw_load_sound(std::uint32_t hash, const std::uint8_t* bytes, std::size_t len);
void vw_when_loaded(void (*ready)());
double vw_css_scale();  // CSS pixels per game pixel
double vw_canvas_left();
double vw_canvas_top();
double vw_viewport_width();
double vw_viewport_height();

void vw_begin_frame();
void vw_clip(int x, int y, int w, int h);
void vw_end_frame();
void vw_fill(int x, int y, int w, int h, int r, int g, int b);
void vw_picture(const std::uint8_t* bytes, int x, int y);
// Text: the font, in the game's pixels; the canvas's device pixels per game pixel; a text's
// width at `factor` device pixels per game pixel and the font's ascent and descent in game
// pixels, the same in every browser engine. vw_text draws a line at device pixels.
void vw_font(int pixelSize, bool bold, bool italic);
int vw_factor();
int vw_measure(const char* text, std::size_t len, int factor);
int vw_ascent();
int vw_descent();
void vw_text(const char* text, std::size_t len, int x, int baseline, int r, int g, int b);
void vw_marks_update(const void* layer, const std::uint8_t* rgba, int w, int h);
void vw_marks_draw(const void* layer, int x, int y);

void vw_request_lock();
void vw_exit_lock();
void vw_end_program();
void vw_announce(const char* text);

void vw_play_sound(std::uint32_t hash, const std::uint8_t* bytes, std::size_t len);
void vw_show_sight(bool shown, double x, double y);
void vw_arrow_cursor(bool arrow);
void vw_show_texts(const char* lines);
void vw_message_box(const char* title, const char* text);
}
