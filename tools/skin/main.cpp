// Renders the tool's skin pictures into a folder, and the application icon at every size into its
// icons/ subfolder: orva-skin OUTDIR
#include "gui/controls/AppIcon.h"
#include "gui/controls/SkinRenderer.h"

#include <QDir>
#include <QGuiApplication>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTDIR\n", argv[0]);
        return 2;
    }
    // Fonts are all it needs from a platform; no display is involved.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QString error;
    const QString out = QString::fromLocal8Bit(argv[1]);
    if (!orva::skin::RenderSkin(out, &error) || !orva::skin::RenderAppIcons(QDir(out).filePath("icons"), &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    return 0;
}
