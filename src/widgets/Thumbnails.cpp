#include "Thumbnails.h"

#include "ThumbCanvas.h"

#include <algorithm>
#include <atomic>
#include <thread>

QImage DrawThumbnail(const TZLT_Frame& frame, QSize cell, const TZLT_Pal& palette)
{
    QImage image(cell, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) // out of memory: the cell stays empty
        return image;
    image.fill(Qt::transparent);
    TThumbCanvas canvas(image);
    frame.Draw(canvas, TZLT_Rect{0, 0, cell.width(), cell.height()}, palette);
    return image;
}

void DrawThumbnails(std::vector<TThumbnailJob>& jobs, QSize cell, const TZLT_Pal& palette, int threads)
{
    const int count = int(jobs.size());
    if (threads <= 0)
        threads = int(std::max(1u, std::thread::hardware_concurrency()));
    threads = std::min(threads, count);
    std::atomic<int> next{0};
    const auto work = [&] {
        for (int i = next++; i < count; i = next++)
            jobs[size_t(i)].Image = DrawThumbnail(*jobs[size_t(i)].Frame, cell, palette);
    };
    std::vector<std::thread> helpers;
    for (int t = 1; t < threads; ++t) {
        try {
            helpers.emplace_back(work);
        } catch (const std::system_error&) {
            break; // no thread to be had: this one draws the rest
        }
    }
    work();
    for (std::thread& helper : helpers)
        helper.join();
}
