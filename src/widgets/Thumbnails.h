#pragma once

#include "ZLT_Catalog.h"

#include <QImage>
#include <QSize>

#include <vector>

// A frame to be drawn as a thumbnail, and the picture it is drawn into.
struct TThumbnailJob
{
    const TZLT_Frame* Frame = nullptr;
    QImage Image; // filled in: a transparent picture of the cell's size with the frame on it
};

// The frame drawn by Draw into a new transparent picture of a cell's size.
// The picture does not depend on where the cell lies.
QImage DrawThumbnail(const TZLT_Frame& frame, QSize cell, const TZLT_Pal& palette);

// DrawThumbnail for every job, spread over the processor's cores; returns
// once all are drawn. Each thread writes only its own pictures, and frames
// and palette are only read, so they must not change meanwhile: the caller
// waits here. threads 0 means one per core.
void DrawThumbnails(std::vector<TThumbnailJob>& jobs, QSize cell, const TZLT_Pal& palette, int threads = 0);
