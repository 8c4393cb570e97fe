#include "CatalogSaving.h"

#include "BackgroundJob.h"
#include "Language.h"

namespace {
// Text: English, German.
constexpr TTextRow SavingText{u"Saving catalog ...", u"Speichere Katalog ..."};
} // namespace

namespace CatalogSaving {

void Save(const TZLT_Cat& cat, const QString& fileName, QWidget* parent)
{
    BackgroundJob::Run(parent, Tr(SavingText), [&](const BackgroundJob::TProgressFn& progress) {
        cat.SaveToFile(fileName, progress);
    });
}

} // namespace CatalogSaving
