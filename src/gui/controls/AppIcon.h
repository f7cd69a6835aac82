#pragma once
// The application icon: a gateway with its lights on the header's blue, drawn by the skin generator at
// every size a desktop asks for, and set as the icon of every window of the tool.
#include <QIcon>
#include <QImage>
#include <QList>
#include <QString>

namespace orva::skin {

// The square sizes the icon is drawn at (the hicolor theme's sizes from 16 to 256).
const QList<int>& AppIconSizes();
// The icon drawn at `size` x `size` pixels.
QImage RenderAppIcon(int size);
// Writes orva-N.png for every size into `dir` (created when missing).
bool RenderAppIcons(const QString& dir, QString* error = nullptr);
// SkinDirectory() + "icons/": where the program finds its icons.
QString AppIconFolder();
// The icon from AppIconFolder(); the desktop theme's "orva" when none of the files is there.
QIcon ApplicationIcon();

} // namespace orva::skin
