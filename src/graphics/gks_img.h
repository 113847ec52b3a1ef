// Window images: the window's picture captured into an image record, and
// image records (or image files) drawn into the window 1:1 at a pixel
// position relative to the current viewport, optionally with one colour
// left transparent; the window written as an image file of the chosen type.
#pragma once

#include "graphics/zeqimg.h"

// The image types of gsave_image_file: GIF, PNG; any other value is XWD.
inline constexpr int GIMG_GIF = 56;
inline constexpr int GIMG_PNG = 58;

// Captures what has been drawn into the window's drawing drawable, at the
// visible window's size (the record is initialised first; release it with
// IMG_free). 1, or 0 with a warning (0 quietly without a window).
int gget_image(IMG_report *image);
// On windows of at most 8 bits replaces an image's palette indices by X
// pixels, allocating colours; colours within 0.01 of the X pixel trans
// become trans (-1: none). 0.
int gsetup_image_colors(IMG_report *image, long trans);
// Draws an image with its top-left corner at pixel (x, y) of the current
// viewport; a negative offset counts from the right or bottom edge (-1 puts
// the image's edge one pixel inside the viewport's). At most the
// viewport's size is drawn. On PostScript the image goes to the page. 0.
int gload_image(IMG_report *image, int x, int y);
// As gload_image on a window only, with the pixels of colour background (a
// colour-table name or index, or an X colour; null or empty: the window
// background) left transparent. 0.
int goverlay_image(IMG_report *image, const char *background, int x, int y);
// IMG_read of the whole file, or only its header. 1, or 0.
int gread_image_file(const char *filename, IMG_report *image);
int gquery_image_file(const char *filename, IMG_report *image);
// Reads an image file and draws it (gload_image). 1, or 0 without a window
// or when the file cannot be read.
int gload_image_file(const char *filename, int x, int y);
// Reads an image file and draws it with a transparent colour
// (goverlay_image) when there is a window. 0.
int goverlay_image_file(const char *filename, const char *background, int x, int y);
// The type gsave_image_file writes (GIF at start). 0, and the type.
int gset_save_image_type(int val);
int gget_save_image_type();
// Captures the window and writes it as a file of the save type. 1, or 0.
int gsave_image_file(const char *filename);
