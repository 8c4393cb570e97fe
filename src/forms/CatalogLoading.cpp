#include "CatalogLoading.h"

#include "Language.h"
#include "Progress.h"

namespace {
// Text: English, German.
constexpr TTextRow ReadingText{u"Reading catalog ...", u"Lese Katalog ..."};
} // namespace

namespace CatalogLoading {

std::unique_ptr<TZLT_Cat> Load(const QString& fileName, QWidget* parent)
{
    auto cat = std::make_unique<TZLT_Cat>();
    TProgressOnDemand progress(parent, Tr(ReadingText));
    cat->LoadFromFile(fileName, progress.Reporter());
    return cat;
}

} // namespace CatalogLoading
