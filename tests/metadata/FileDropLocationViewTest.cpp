// The drop targets with real widgets, real mime data and real drag events.
#include "metadata/ui/FileDropLocationView.h"

#include "support/Mp3Fixtures.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QMimeData>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace airlark {
namespace {

class Recorder : public FileDropLocationViewDelegate
{
public:
    void didSetFileWithURL(const QUrl& url) override { urls << url; }
    QList<QUrl> urls;
};

QList<QUrl> files(std::initializer_list<const char*> paths)
{
    QList<QUrl> urls;
    for (const char* path : paths)
        urls << QUrl::fromLocalFile(QString::fromUtf8(path));
    return urls;
}

struct Drag
{
    explicit Drag(QList<QUrl> urls) { data.setUrls(urls); }
    QMimeData data;
};

// Sends the events a real drag sends; returns whether the widget accepted the enter.
bool enter(QWidget& widget, const QMimeData& data)
{
    QDragEnterEvent event(widget.rect().center(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&widget, &event);
    return event.isAccepted() && event.dropAction() == Qt::CopyAction;
}

bool drop(QWidget& widget, const QMimeData& data)
{
    QDropEvent event(QPointF(widget.rect().center()), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&widget, &event);
    return event.isAccepted();
}

void leave(QWidget& widget)
{
    QDragLeaveEvent event;
    QApplication::sendEvent(&widget, &event);
}

TEST(FileDropLocationViewTest, AnMP3DragHighlightsTheAudioTargetAndItsDropReachesTheDelegate)
{
    AudioFileDropLocationView view;
    Recorder recorder;
    view.setDelegate(&recorder);
    view.resize(200, 200);
    EXPECT_TRUE(view.acceptDrops());
    EXPECT_EQ(view.getFileTypes(), QStringList{QStringLiteral("mp3")});

    Drag drag(files({"/music/Episode 7.MP3", "/music/notes.txt"}));
    EXPECT_TRUE(enter(view, drag.data));
    EXPECT_TRUE(view.highlight());
    EXPECT_TRUE(drop(view, drag.data));
    EXPECT_FALSE(view.highlight());
    EXPECT_EQ(recorder.urls, files({"/music/Episode 7.MP3"})) << "the first file counts";
    EXPECT_TRUE(view.image().isNull()) << "an MP3 file makes no image";
}

TEST(FileDropLocationViewTest, LeavingRemovesTheOutline)
{
    AudioFileDropLocationView view;
    view.resize(200, 200);
    Drag drag(files({"/music/episode.mp3"}));
    ASSERT_TRUE(enter(view, drag.data));
    leave(view);
    EXPECT_FALSE(view.highlight());
}

struct RefusedDrag
{
    const char* name;
    bool imageTarget;
    QList<QUrl> urls;
};

class RefusedDragTest : public ::testing::TestWithParam<RefusedDrag>
{
};

TEST_P(RefusedDragTest, IsRefusedWithoutHighlightImageOrCall)
{
    std::unique_ptr<FileDropLocationView> view;
    if (GetParam().imageTarget)
        view = std::make_unique<ImageFileDropLocationView>();
    else
        view = std::make_unique<AudioFileDropLocationView>();
    Recorder recorder;
    view->setDelegate(&recorder);
    view->resize(200, 200);
    view->setImage(QImage(10, 10, QImage::Format_RGB32));

    Drag drag(GetParam().urls);
    EXPECT_FALSE(enter(*view, drag.data));
    EXPECT_FALSE(view->highlight());
    EXPECT_FALSE(drop(*view, drag.data));
    EXPECT_TRUE(recorder.urls.isEmpty());
    EXPECT_EQ(view->image().size(), QSize(10, 10)) << "the view is unchanged";
}

INSTANTIATE_TEST_SUITE_P(
    Drags, RefusedDragTest,
    ::testing::Values(RefusedDrag{"Wav", false, files({"/music/episode.wav"})},
                      RefusedDrag{"WavThenMp3", false, files({"/music/one.wav", "/music/two.mp3"})},
                      RefusedDrag{"NoExtension", false, files({"/music/episode"})},
                      RefusedDrag{"OnlyAnExtension", false, files({"/music/.mp3"})},
                      RefusedDrag{"NoFiles", false, {}},
                      RefusedDrag{
                          "WebAddress", false, {QUrl(QStringLiteral("https://example.org/episode.mp3"))}},
                      RefusedDrag{"PngOnImageTarget", true, files({"/pictures/cover.png"})},
                      RefusedDrag{"JpegOnImageTarget", true, files({"/pictures/cover.jpg"})},
                      RefusedDrag{"Mp3OnImageTarget", true, files({"/music/episode.mp3"})}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST(FileDropLocationViewTest, TextWithoutFilesIsRefused)
{
    AudioFileDropLocationView view;
    QMimeData data;
    data.setText(QStringLiteral("/music/episode.mp3"));
    EXPECT_FALSE(enter(view, data));
}

TEST(FileDropLocationViewTest, TheHighlightIsARoundedGreyOutline)
{
    AudioFileDropLocationView view;
    view.resize(120, 120);
    const auto edgePixel = [&view] {
        QImage shot(view.size(), QImage::Format_ARGB32);
        shot.fill(Qt::white);
        view.render(&shot, QPoint(), QRegion(), QWidget::DrawChildren);
        return QColor(shot.pixel(60, 2));
    };
    EXPECT_EQ(edgePixel(), QColor(Qt::white));
    view.setHighlight(true);
    const QColor outline = edgePixel();
    EXPECT_EQ(outline.red(), outline.green());
    EXPECT_LT(outline.red(), 200) << "grey";
    EXPECT_GT(outline.red(), 100);
}

TEST(FileDropLocationViewTest, ClickingOrPressingSpaceAsksToChooseAFile)
{
    AudioFileDropLocationView view;
    view.resize(100, 100);
    int activations = 0;
    QObject::connect(&view, &FileDropLocationView::activated, [&activations] { ++activations; });
    QKeyEvent space(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier);
    QApplication::sendEvent(&view, &space);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(50, 50), QPointF(50, 50), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&view, &release);
    EXPECT_EQ(activations, 2);
}

} // namespace
} // namespace airlark
