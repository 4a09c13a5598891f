#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <gtest/gtest.h>

namespace {

TEST(DesktopEntry, TheApplicationIconRenders)
{
    QSvgRenderer renderer(QStringLiteral(":/images/Airlark.svg"));
    ASSERT_TRUE(renderer.isValid()) << "the icon is compiled into the resources";
    QImage image(64, 64, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderer.render(&painter);
    painter.end();
    EXPECT_NE(image.pixelColor(32, 32).alpha(), 0);
}

} // namespace
