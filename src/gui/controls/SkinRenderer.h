#pragma once
// Renders the tool's skin (every file of SkinFiles()) into a folder. Needs a QGuiApplication for fonts.
#include <QString>
#include <QStringList>

namespace orva::skin {

// Writes every skin file into dir (created when missing). False with a reason in *error when a file
// could not be written.
bool RenderSkin(const QString& dir, QString* error = nullptr);

} // namespace orva::skin
