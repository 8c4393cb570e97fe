#pragma once

#include "ZLT_Catalog.h"

#include <QString>

class QWidget;

// Writing a catalog window's catalog to its file.
namespace CatalogSaving {

// Saves the catalog as TZLT_Cat::SaveToFile does, on a thread of its own
// while the event loop turns (BackgroundJob): a large catalog shows the
// progress dialog over parent, whose Cancel raises EZLT_Aborted and keeps
// the old file. Other failures raise the writer's errors.
void Save(const TZLT_Cat& cat, const QString& fileName, QWidget* parent);

} // namespace CatalogSaving
