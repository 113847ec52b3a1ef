// Text: the text attributes, the font list, the stroke font reader, the text
// primitive and the stroke renderer, and the drop-shadow depth that markers
// share.
#pragma once

#include "graphics/gks.h"

enum Gtext_hor : Gint { GNORMAL_HOR = 0, GLEFT_HOR = 1, GCENTER_HOR = 2, GRIGHT_HOR = 3 };
enum Gtext_ver : Gint {
    GNORMAL_VERT = 0,
    GTOP_VERT = 1,
    GCAP_VERT = 2,
    GHALF_VERT = 3,
    GBASE_VERT = 4,
    GBOTTOM_VERT = 5
};
struct Gtext_align {
    Gtext_hor hor;
    Gtext_ver vert;
};
enum Gtext_path : Gint { GRIGHT_PATH = 0, GLEFT_PATH = 1, GUP_PATH = 2, GDOWN_PATH = 3 };
struct Gfontprec {
    Gint font;
    Gtext_prec prec;
};

// Font units: the character height spans 105 units, from the baseline (35)
// to the top of capitals (140); the cell runs from 0 to 160.
inline constexpr int FONT_HEIGHT = 105;
inline constexpr int FONT_BASE = 35;
inline constexpr int FONT_HALF = 85;
inline constexpr int FONT_CAP = 140;
inline constexpr int FONT_TOP = 160;
// Advance width of a blank.
inline constexpr int FONT_BLANK = 40;

// Draws a string at a world position in the current font and attributes.
// 0 (an empty string draws nothing), or -1 when the kernel is not open.
Gint gtext(const Gpt *text_pos, const Gchar *char_string);
// The stroke renderer of gtext, at a world position. 0.
int text(float ox, float oy, const char *string);

// Attribute setters: 0 set or unchanged, -1 after a report (nothing changes).
Gint gset_text_colr_ind(Gint text_colr_ind);
Gint gset_expan(Gfloat expansion);
Gint gset_text_width(Gfloat textwidth);
Gint gset_char_ht(Gfloat char_ht);
// The up vector is stored at unit length; a zero vector is refused.
Gint gset_char_up_vec(const Gpt *char_up_vec);
Gint gset_text_align(const Gtext_align *text_align);
Gint ginq_text_align(Gint *err, Gtext_align *text_align);
// Extra advance after each character in hundreds of font units, and the
// fixed pitch (0: every character advances by its own width).
Gint gset_space(Gfloat space);
Gint gset_char_space(Gfloat space);
Gint gset_text_path(Gtext_path text_path);
// Selects font number fontprec->font of the font list and loads it. 0, or
// -1 (nothing changes) for a number outside the list.
Gint gset_fontprec(const Gfontprec *fontprec);

// Presets the font list of the next gsetup_fonts (at most 79 characters). 1.
int gset_font_list(const char *list);
// Builds the font list and loads the current font; the result of read_font.
int gsetup_fonts();
// Loads a stroke font file (found as a table) or, with a leading "#", an X
// core font; 0, or -1 after a warning (every character is then without a
// glyph).
int read_font(const char *name);
// The font number of a name: a leading digit gives the number, else the
// position of the abbreviation in the font list, else 1.
int gget_font_index(const char *str);

// Drop-shadow depth in pixels of text and markers on the window (0 none).
int gset_font_drop(int ind);
int gget_font_drop();
int gset_font_drop_color(int ind);
int gget_text_colr();

// Device set-up of text for an initialisation kind. 0.
int ginit_text(int type);
// Restores the text attribute defaults. 0.
int greset_text();
