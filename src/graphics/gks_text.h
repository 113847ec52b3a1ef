// Text and stroke fonts.
#pragma once

// Restores the text attribute defaults. 0.
int greset_text();
// Device set-up of text for an initialisation kind. 0.
int ginit_text(int type);
// Loads the font list at workstation open. 0.
int gsetup_fonts();
