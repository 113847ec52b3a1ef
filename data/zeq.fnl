modern modern.fnt
duplex duplex.fnt
roman roman.fnt
italic italic.fnt
bold bold.fnt
gothic gothic.fnt
greek greek.fnt
