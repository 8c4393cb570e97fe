#pragma once

#include "ZLT_Catalog.h"

#include <QString>

#include <memory>

class QWidget;

// Reading a catalog file for a new catalog window.
namespace CatalogLoading {

// Loads the catalog file; a large file shows the progress dialog over
// parent, whose Cancel raises EZLT_Aborted. An ILDA file raises
// EZLT_Ilda_Content before anything more than its start is read; other
// failures raise the loader's errors.
std::unique_ptr<TZLT_Cat> Load(const QString& fileName, QWidget* parent);

} // namespace CatalogLoading
