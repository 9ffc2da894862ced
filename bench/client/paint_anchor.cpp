// client_paint_anchor RECTS SECONDS: what showing live video should cost when
// nothing is decoded. Panes sit where the desk puts them (RECTS:
// "x,y,w,h;x,y,w,h;..."), each takes 25 new BGRA pictures a second: one copy
// into its QImage, one update(), drawn unscaled. The panes' timers are spread
// over the 40 ms period, as independent streams arrive. Ends after SECONDS
// with one line of what it copied and painted.
#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <vector>

namespace {

constexpr int kPeriodMs = 40;
constexpr int kSourcePictures = 10;

// BGRA pictures of one size with a band moving over a gradient, so every copy
// carries new pixels.
std::vector<std::vector<std::uint8_t>> source_pictures(int w, int h) {
  std::vector<std::vector<std::uint8_t>> out(kSourcePictures);
  for (int k = 0; k < kSourcePictures; ++k) {
    auto& px = out[static_cast<std::size_t>(k)];
    px.resize(static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 4);
    const int band = k * w / kSourcePictures;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        std::uint8_t* p = px.data() + (static_cast<std::size_t>(y) * w + x) * 4;
        const bool in_band = x >= band && x < band + w / 8;
        p[0] = static_cast<std::uint8_t>(in_band ? 255 : x * 255 / w);
        p[1] = static_cast<std::uint8_t>(y * 255 / h);
        p[2] = static_cast<std::uint8_t>(in_band ? 255 : 128);
        p[3] = 255;
      }
  }
  return out;
}

class Pane : public QWidget {
 public:
  Pane(QWidget* parent, const QRect& r, const std::vector<std::vector<std::uint8_t>>& sources)
      : QWidget(parent), sources_(sources), image_(r.size(), QImage::Format_RGB32) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setGeometry(r);
    image_.fill(Qt::black);
  }

  void next_picture() {
    const auto& src = sources_[static_cast<std::size_t>(count_++ % kSourcePictures)];
    // RGB32 rows of a 4-byte pixel carry no padding: one copy of the whole picture.
    std::memcpy(image_.bits(), src.data(), src.size());
    update();
  }
  long long copies() const { return count_; }
  long long paints() const { return paints_; }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.drawImage(0, 0, image_);
    p.setPen(QColor(206, 206, 206));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    ++paints_;
  }

 private:
  const std::vector<std::vector<std::uint8_t>>& sources_;
  QImage image_;
  long long count_ = 0;
  long long paints_ = 0;
};

std::vector<QRect> parse_rects(const char* text) {
  std::vector<QRect> out;
  for (const QString& item : QString::fromLatin1(text).split(';', Qt::SkipEmptyParts)) {
    const QStringList v = item.split(',');
    if (v.size() != 4) return {};
    out.emplace_back(v[0].toInt(), v[1].toInt(), v[2].toInt(), v[3].toInt());
    if (out.back().width() <= 0 || out.back().height() <= 0) return {};
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const std::vector<QRect> rects = argc >= 3 ? parse_rects(argv[1]) : std::vector<QRect>{};
  const int seconds = argc >= 3 ? std::atoi(argv[2]) : 0;
  if (rects.empty() || seconds <= 0) {
    std::fprintf(stderr, "usage: client_paint_anchor x,y,w,h[;x,y,w,h...] SECONDS\n");
    return 2;
  }

  QWidget desk;
  desk.setWindowTitle(QStringLiteral("paint anchor"));
  desk.setAutoFillBackground(true);
  desk.setPalette(QPalette(QColor(148, 148, 148)));
  if (QScreen* screen = QGuiApplication::primaryScreen()) desk.setGeometry(screen->geometry());

  // Panes of one size share their pictures; map values stay where they are.
  std::map<std::pair<int, int>, std::vector<std::vector<std::uint8_t>>> sources;
  std::vector<Pane*> panes;
  for (const QRect& r : rects) {
    auto& s = sources[{r.width(), r.height()}];
    if (s.empty()) s = source_pictures(r.width(), r.height());
    panes.push_back(new Pane(&desk, r, s));
  }
  desk.show();

  std::vector<std::unique_ptr<QTimer>> timers;
  for (std::size_t i = 0; i < panes.size(); ++i) {
    auto t = std::make_unique<QTimer>();
    t->setTimerType(Qt::PreciseTimer);
    t->setInterval(kPeriodMs);
    QObject::connect(t.get(), &QTimer::timeout, panes[i], [p = panes[i]] { p->next_picture(); });
    QTimer::singleShot(static_cast<int>(i) * kPeriodMs / static_cast<int>(panes.size()), t.get(),
                       qOverload<>(&QTimer::start));
    timers.push_back(std::move(t));
  }

  QElapsedTimer clock;
  clock.start();
  QTimer::singleShot(seconds * 1000, &app, &QCoreApplication::quit);
  app.exec();
  long long copies = 0, paints = 0;
  for (const Pane* p : panes) {
    copies += p->copies();
    paints += p->paints();
  }
  std::printf("painted %zu panes of %dx%d for %.1f s: %lld pictures copied, %lld paints\n",
              panes.size(), rects[0].width(), rects[0].height(),
              static_cast<double>(clock.elapsed()) / 1000.0, copies, paints);
  return 0;
}
