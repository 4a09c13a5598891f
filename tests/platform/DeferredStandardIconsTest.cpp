#include "platform/ui/DeferredStandardIcons.h"

#include <QImage>
#include <QLabel>
#include <QStyleFactory>
#include <gtest/gtest.h>

using namespace airlark;

// Message boxes, dialogs and the menu bar take their icons from the style: read later, each must
// still be the very icon the style draws, at every size.
TEST(DeferredStandardIconStyle, DrawsTheStylesOwnIcons)
{
    const std::unique_ptr<QStyle> fusion(QStyleFactory::create(QStringLiteral("Fusion")));
    DeferredStandardIconStyle deferred(QStyleFactory::create(QStringLiteral("Fusion")));
    QLabel widget;
    for (const QStyle::StandardPixmap standardIcon :
         {QStyle::SP_ToolBarHorizontalExtensionButton, QStyle::SP_MessageBoxWarning,
          QStyle::SP_MessageBoxCritical, QStyle::SP_DialogOkButton, QStyle::SP_ArrowBack,
          QStyle::SP_DirIcon}) {
        for (const QWidget* owner :
             {static_cast<const QWidget*>(nullptr), static_cast<const QWidget*>(&widget)}) {
            const QIcon expected = fusion->standardIcon(standardIcon, nullptr, owner);
            const QIcon icon = deferred.standardIcon(standardIcon, nullptr, owner);
            ASSERT_FALSE(icon.isNull()) << standardIcon;
            EXPECT_EQ(icon.availableSizes(), expected.availableSizes()) << standardIcon;
            for (const int side : {16, 32, 48}) {
                for (const qreal scale : {1.0, 2.0}) // a normal and a high-density screen
                    EXPECT_EQ(icon.pixmap(QSize(side, side), scale).toImage(),
                              expected.pixmap(QSize(side, side), scale).toImage())
                        << standardIcon << " at " << side << "x" << scale;
            }
        }
    }
}
