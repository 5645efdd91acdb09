#pragma once

#include "classlib/Screen.h"

// The hourglass for as long as a long piece of work runs, whatever happens meanwhile.
class THourglass {
public:
    THourglass() { TScreen::Instance().SetCursor(crHourGlass); }
    ~THourglass() { TScreen::Instance().SetCursor(crDefault); }
    THourglass(const THourglass &) = delete;
    THourglass &operator=(const THourglass &) = delete;
};
