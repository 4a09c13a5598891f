#pragma once

#include <QProxyStyle>

namespace airlark {

// The application's style, unchanged but for when its standard icons are read. Qt's own styles read
// the image files of a standard icon as the icon is made, and the first image read loads every
// image format plugin Qt has; the menu bar makes such an icon for a button that stays hidden until
// the window is too narrow for its menus. Here the files are read when an icon is first drawn or
// measured, after the window is up.
class DeferredStandardIconStyle : public QProxyStyle
{
    Q_OBJECT

public:
    using QProxyStyle::QProxyStyle;

    // Wraps the style Qt chose for this desktop (or the one asked for with -style or
    // QT_STYLE_OVERRIDE): call it once QApplication exists, before any widget.
    static void install();

    QIcon standardIcon(StandardPixmap standardIcon, const QStyleOption* option = nullptr,
                       const QWidget* widget = nullptr) const override;
};

} // namespace airlark
