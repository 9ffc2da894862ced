#include "ui/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QScreen>
#include <QShortcut>
#include <QTimer>
#include <QUrl>

#include <optional>

#include "controls/bitmap_slider.h"
#include "controls/bitmap_tree.h"
#include "controls/bmp_button.h"
#include "controls/color_button.h"
#include "controls/color_static.h"
#include "controls/digit_display.h"
#include "controls/led.h"
#include "controls/skin.h"
#include "model/user_dialogs.h"
#include "model/users.h"
#include "platform/clock.h"
#include "platform/text.h"
#include "ui/about_dialog.h"
#include "ui/event_log_window.h"
#include "ui/gps_poller.h"
#include "ui/i18n.h"
#include "ui/login_dialogs.h"
#include "ui/message_box.h"
#include "ui/playback.h"
#include "ui/preset_ptz.h"
#include "ui/system_config.h"
#include "ui/talkback.h"
#include "velmosdk.h"
#include "vidrane/vidrane.h"

namespace ui {
namespace {

constexpr int kButtonWidth = 92;
// Channel slots of a login in the SDK.
constexpr int kSdkChannels = 6;
constexpr int kButtonHeight = 30;

QString id_name(int id) {
  return QString::number(id);
}

CBMPButton* make_button(QWidget* parent, int id, const QString& caption) {
  auto* b = new CBMPButton(caption, parent);
  b->setObjectName(id_name(id));
  b->setFocusPolicy(Qt::TabFocus);
  b->setAutoDefault(false);
  b->setDefault(false);
  return b;
}

struct SliderRow {
  int id;
  const char16_t* label;
  int max;
  int value;
};
// Brightness, contrast, saturation, hue and volume at their defaults.
constexpr std::array<SliderRow, 5> kSliders{{{1083, u"亮  度", 255, 127},
                                             {1022, u"对比度", 255, 67},
                                             {1023, u"饱和度", 127, 64},
                                             {1024, u"色  度", 127, 0},
                                             {1025, u"音  量", 100, 50}}};

// The PTZ pad in creation order: the index of a button decides its commands.
struct PtzButton {
  int id;
  const char16_t* caption;
  const char16_t* tooltip;
  const char* picture;  // the arrows and the auto button are pictures
  int press;            // -1: none
  int release;
};
constexpr std::array<PtzButton, 10> kPtzButtons{{{1012, u"^", u"向上", "ptz_up", 21, 30},
                                                 {1011, u"V", u"向下", "ptz_down", 22, 30},
                                                 {1010, u"<", u"向左", "ptz_left", 23, 30},
                                                 {1013, u">", u"向右", "ptz_right", 24, 30},
                                                 {1017, u"远", u"景深拖远", nullptr, 11, 30},
                                                 {1014, u"近", u"景深拖近", nullptr, 12, 30},
                                                 {1018, u"缩", u"焦距增大", nullptr, 13, 30},
                                                 {1015, u"伸", u"焦距减小", nullptr, 14, 30},
                                                 {1019, u"小", u"光圈增大", nullptr, 15, 30},
                                                 {1016, u"大", u"光圈减小", nullptr, 16, 30}}};
constexpr PtzButton kPtzAuto{1526, u"", u"", "ptz_auto", 29, 29};

QString text(const char16_t* s) {
  return QString::fromUtf16(s);
}

class DeskRecorders : public model::PaneRecorders {
 public:
  explicit DeskRecorders(CTavimorDlg& desk) : desk_(desk) {}
  int pane_count() const override { return model::kPanes; }
  bool playing(int pane) const override { return desk_.Pane(pane)->Playing(); }
  bool recording(int pane) const override { return desk_.Pane(pane)->Recording(); }
  std::int64_t record_stop_time(int pane) const override {
    return desk_.Pane(pane)->RecordStopTime();
  }
  void start_recording(int pane) override { desk_.StartRecording(pane); }
  void stop_recording(int pane) override { desk_.Pane(pane)->StopRecording(); }
  void restart_recording(int pane) override {
    desk_.Pane(pane)->StopRecording();
    desk_.StartRecording(pane);
  }

 private:
  CTavimorDlg& desk_;
};

}  // namespace

CTavimorDlg::CTavimorDlg(model::ClientState& state, model::MessageSink& messages,
                         model::DeviceLogin& sdk, QWidget* parent)
    : QDialog(parent), state_(state), messages_(messages), sdk_(sdk), relogin_(state, sdk) {
  setObjectName(QStringLiteral("CTavimorDlg"));
  alarm_slots_.fill(-1);
  QtWindowBackend::Hooks hooks;
  hooks.message = [this](UINT msg, WPARAM w, LPARAM l) {
    if (msg == WM_USER + 1) OnException(static_cast<unsigned>(w), static_cast<long>(l));
  };
  window_ = std::make_unique<QtWindow>(this, std::move(hooks), 0, 0);
  setWindowTitle(QStringLiteral("Brevanta"));
  setWindowFlags(Qt::Window | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  setAttribute(Qt::WA_OpaquePaintEvent);
  const QPixmap icon = skin::picture(QStringLiteral("icon.png"));
  if (!icon.isNull()) setWindowIcon(QIcon(icon));
  build_controls();
  relogin_.set_result_hook([this](int server, bool ok) {
    QMetaObject::invokeMethod(
        this, [this, server, ok] { on_relogin_result(server, ok); }, Qt::QueuedConnection);
  });
}

CTavimorDlg::~CTavimorDlg() {
  stop_cycling();
  stop_preview_thread();
  for (auto& [id, t] : timers_) t->stop();
  stop_panes();
}

// ---- building ----

void CTavimorDlg::build_controls() {
  video_ = new QWidget(this);
  video_->setObjectName(QStringLiteral("video"));
  video_->setAttribute(Qt::WA_NoSystemBackground);
  for (int i = 0; i < model::kPanes; ++i) {
    auto* pane = new CMyOutput(i, state_, video_);
    pane->hide();
    connect(pane, &CMyOutput::leftPressed, this, &CTavimorDlg::SelectPane);
    connect(pane, &CMyOutput::rightPressed, this, &CTavimorDlg::on_pane_menu);
    connect(pane, &CMyOutput::leftDoubleClicked, this, &CTavimorDlg::on_pane_double_click);
    connect(pane, &CMyOutput::recordingChanged, this, &CTavimorDlg::on_recording_changed);
    connect(pane, &CMyOutput::streamNotice, this, &CTavimorDlg::on_stream_notice);
    connect(pane, &CMyOutput::paneDropped, this, &CTavimorDlg::SwapPanes);
    connect(pane, &CMyOutput::channelDropped, this, &CTavimorDlg::DropChannel);
    panes_[static_cast<std::size_t>(i)] = pane;
  }

  // The system menu: the window manager's own is out of reach, so the desk
  // carries it (also on Alt+Space).
  system_menu_ = new QMenu(this);
  system_menu_->setObjectName(QStringLiteral("systemMenu"));
  system_menu_->addAction(tx("最小化"), this, [this] {
    if (guard(model::rights::kExit)) showMinimized();
  });
  system_menu_->addAction(tx("关闭"), this, [this] { OnExit(); });
  system_menu_->addSeparator();
  QAction* about = system_menu_->addAction(tx("关于 Tavimor(&A)..."), this, [this] { OnAbout(); });
  about->setObjectName(QStringLiteral("16"));
  system_button_ = new CBMPButton(QStringLiteral("≡"), this);
  system_button_->setObjectName(QStringLiteral("systemMenuButton"));
  system_button_->setToolTip(tx("系统菜单"));
  connect(system_button_, &QPushButton::clicked, this, [this] {
    system_menu_->popup(system_button_->mapToGlobal(QPoint(0, system_button_->height())));
  });

  // Side panel.
  auto* ptz_switch = make_button(this, 1552, tx("云台控制"));
  ptz_switch->setToolTip(tx("云台控制"));
  connect(ptz_switch, &QPushButton::clicked, this, [this] { show_panel(true); });
  auto* tree_switch = make_button(this, 1553, tx("服务器列表"));
  tree_switch->setToolTip(tx("服务器列表"));
  connect(tree_switch, &QPushButton::clicked, this, [this] { show_panel(false); });

  tree_ = new CBitmapTree(this);
  tree_->setObjectName(id_name(1554));
  connect(tree_, &QTreeWidget::itemDoubleClicked, this,
          [this](QTreeWidgetItem* item) { OnTreeDoubleClick(item); });
  tree_->SetChildDrag(true);

  gps_ = new GpsPoller({}, this);
  connect(gps_, &GpsPoller::position, this,
          [this](long login, int, const std::optional<model::GpsFix>& fix, const QString& raw) {
            // One position per vehicle: every pane of the device shows it.
            const QString text = fix             ? qs(model::gps_text(*fix))
                                 : raw.isEmpty() ? QString()
                                                 : tx(model::kNoPosition);
            for (CMyOutput* p : panes_)
              if (p->PlayHandle() >= 0 && p->LoginHandle() == login) p->SetPosition(text);
          });

  ptz_group_ = new QWidget(this);
  ptz_group_->setObjectName(QStringLiteral("ptz"));
  commands_ = new QWidget(this);
  commands_->setObjectName(QStringLiteral("commands"));
  build_ptz_pad();
  ptz_group_->hide();

  sliders_ = new QWidget(this);
  sliders_->setObjectName(QStringLiteral("sliders"));
  for (std::size_t i = 0; i < kSliders.size(); ++i) {
    auto* label = new CColorStatic(sliders_);
    label->setText(tx(kSliders[i].label));
    label->setObjectName(QStringLiteral("label%1").arg(kSliders[i].id));
    auto* s = new CBitmapSlider(sliders_);
    s->setObjectName(id_name(kSliders[i].id));
    s->setOrientation(Qt::Horizontal);
    s->setRange(0, kSliders[i].max);
    s->setValue(kSliders[i].value);
    connect(s, &QSlider::valueChanged, this, [this, i](int v) { on_slider(i, v); });
    slider_[i] = s;
  }
  connect(make_button(sliders_, 1020, tx("默认值")), &QPushButton::clicked, this,
          &CTavimorDlg::OnDefaults);

  bit_rate_ = new CDigitDisplay(this);
  bit_rate_->setObjectName(QStringLiteral("bitRate"));

  // Lights.
  lights_ = new QWidget(this);
  lights_->setObjectName(QStringLiteral("lights"));
  auto* rec_label = new CColorStatic(lights_);
  rec_label->setObjectName(QStringLiteral("recordLightsLabel"));
  rec_label->setText(tx("录像"));
  auto* alarm_label = new CColorStatic(lights_);
  alarm_label->setObjectName(QStringLiteral("alarmLightsLabel"));
  alarm_label->setText(tx("报警"));
  for (int i = 0; i < model::kPanes; ++i) {
    auto* r = new CLedIndicator(lights_);
    r->setObjectName(id_name(1026 + i));
    r->SetOnColor(QColor(230, 40, 40));
    r->setToolTip(QStringLiteral("%1").arg(i + 1));
    record_lights_[static_cast<std::size_t>(i)] = r;
    auto* a = new CLedIndicator(lights_);
    a->setObjectName(id_name(1042 + i));
    a->SetOnColor(QColor(250, 180, 20));
    a->setToolTip(QStringLiteral("%1").arg(i + 1));
    alarm_lights_[static_cast<std::size_t>(i)] = a;
  }

  // Command row, in tab order; the lock disables what comes before it.
  preview_button_ = make_button(commands_, 1087, tx("预览"));
  connect(preview_button_, &QPushButton::clicked, this, &CTavimorDlg::OnPreview);
  struct Command {
    int id;
    const char16_t* caption;
    std::uint32_t right;  // 0: none
  };
  // Their windows come with the tools; the rights are checked already.
  connect(make_button(commands_, 1081, tx("录像")), &QPushButton::clicked, this,
          &CTavimorDlg::OnRecord);
  connect(make_button(commands_, 1084, tx("抓图")), &QPushButton::clicked, this,
          &CTavimorDlg::OnSnapshot);
  constexpr std::array<Command, 5> kCommands{{{1085, u"视频回放", 0},
                                              {1021, u"事件日志", model::rights::kEventLog},
                                              {1089, u"系统配置", 0},
                                              {1079, u"语音对讲", model::rights::kTalkback},
                                              {1080, u"布防/撤防", 0}}};
  for (const auto& c : kCommands) {
    auto* b = make_button(commands_, c.id, tx(c.caption));
    if (c.id == 1085)
      connect(b, &QPushButton::clicked, this, &CTavimorDlg::OnPlayBack);
    else if (c.id == 1021)
      connect(b, &QPushButton::clicked, this, &CTavimorDlg::OnEventLog);
    else if (c.id == 1089)
      connect(b, &QPushButton::clicked, this, &CTavimorDlg::OnSystemConfig);
    else if (c.id == 1079)
      connect(b, &QPushButton::clicked, this, &CTavimorDlg::OnTalkback);
    else if (c.right)
      connect(b, &QPushButton::clicked, this, [this, r = c.right] { guard(r); });
  }
  auto* layout_label = new CColorStatic(commands_);
  layout_label->setObjectName(QStringLiteral("layoutLabel"));
  layout_label->setText(tx("分屏数"));
  layout_combo_ = new QComboBox(commands_);
  layout_combo_->setObjectName(id_name(1074));
  for (int n : model::kPageSizes) layout_combo_->addItem(QString::number(n));
  layout_combo_->setCurrentIndex(2);
  connect(layout_combo_, &QComboBox::activated, this, [this](int item) {
    if (item >= 0 && item < static_cast<int>(model::kPageSizes.size()))
      SelectLayout(model::kPageSizes[static_cast<std::size_t>(item)]);
  });
  delay_combo_ = new QComboBox(commands_);
  delay_combo_->setObjectName(id_name(1483));
  for (const char16_t* item :
       {u"实时性好", u"实时性较好", u"实时性中,流畅性中", u"流畅性较好", u"流畅性好"})
    delay_combo_->addItem(tx(item));
  delay_combo_->setCurrentIndex(2);
  delay_combo_->hide();
  for (int id : {1096, 1498, 1450}) make_button(commands_, id, QString())->hide();

  auto* lock = make_button(commands_, 1555, tx("锁定"));
  lock->setToolTip(tx("锁定屏幕"));
  connect(lock, &QPushButton::clicked, this, &CTavimorDlg::OnLock);
  auto* minimise = make_button(commands_, 1598, tx("最小化"));
  minimise->setToolTip(tx("最小化"));
  connect(minimise, &QPushButton::clicked, this, [this] {
    if (guard(model::rights::kExit)) showMinimized();
  });
  auto* exit = make_button(commands_, 1000, tx("退出系统"));
  connect(exit, &QPushButton::clicked, this, &CTavimorDlg::OnExit);
  build_shortcuts();
}

void CTavimorDlg::build_shortcuts() {
  // Keys that no control of the desk uses work wherever the focus is; the
  // arrows, Space and the page keys come through keyPressEvent, so the tree
  // and the buttons keep theirs.
  auto key = [this](const QKeySequence& seq, auto&& action) {
    auto* sc = new QShortcut(seq, this);
    sc->setContext(Qt::WindowShortcut);
    sc->setAutoRepeat(false);
    connect(sc, &QShortcut::activated, this, action);
  };
  key(QKeySequence(Qt::Key_F11), [this] { FullScreenPane(); });
  key(QKeySequence(Qt::Key_Escape), [this] { OnEscape(); });
  key(QKeySequence(Qt::CTRL | Qt::Key_I), [this] { ToggleHealthOverlay(); });
  for (std::size_t i = 0; i < model::kPageSizes.size(); ++i)
    key(QKeySequence(Qt::CTRL | (Qt::Key_1 + static_cast<int>(i))),
        [this, n = model::kPageSizes[i]] {
          // The layout combo is among the controls the lock disables.
          if (!desk_.locked) SelectLayout(n);
        });
}

void CTavimorDlg::build_ptz_pad() {
  auto pad_button = [this](QWidget* parent, const PtzButton& b) {
    auto* button = new CColorButton(tx(b.caption), parent);
    button->setObjectName(id_name(b.id));
    button->setAutoDefault(false);
    if (*b.tooltip) button->setToolTip(tx(b.tooltip));
    const QString base = b.picture ? QString::fromLatin1(b.picture) : QString();
    if (b.picture &&
        button->LoadBitmaps(base + ".bmp", base + "_hover.bmp", base + "_pressed.bmp")) {
      // The picture carries the caption.
      button->setAccessibleName(button->text());
      button->setText(QString());
    }
    if (ptz_pad_.empty()) ptz_first_index_ = button->Index();
    ptz_pad_.push_back(button);
    if (b.press >= 0) {
      connect(button, &QPushButton::pressed, this, [this, b] { ptz_press(b.press); });
      connect(button, &QPushButton::released, this, [this, b] { ptz_release(b.release); });
    }
    return button;
  };
  for (const auto& b : kPtzButtons) pad_button(ptz_group_, b);
  // The image adjustment's five step pairs have no PTZ command; they keep the
  // pad's creation order and stay hidden.
  for (int i = 0; i < 10; ++i)
    pad_button(ptz_group_, {0, i % 2 ? u"增" : u"减", u"", nullptr, -1, -1})->hide();
  constexpr std::array<std::pair<int, int>, 4> kLayoutButtons{
      {{1531, 1}, {1527, 4}, {1528, 9}, {1529, 16}}};
  for (auto [id, n] : kLayoutButtons) {
    auto* b = pad_button(commands_, {id, u"", u"", nullptr, -1, -1});
    const QString base = QStringLiteral("layout%1").arg(n);
    b->LoadBitmaps(base + ".bmp", base + "_hover.bmp", base + "_pressed.bmp");
    b->setToolTip(tx("%1 画面").arg(n));
    connect(b, &QPushButton::clicked, this, [this, n = n] { SelectLayout(n); });
  }
  pad_button(ptz_group_, kPtzAuto);
  for (const char16_t* diagonal : {u"左上", u"右上", u"右下", u"左下"}) {
    auto* b = make_button(ptz_group_, 0, tx(diagonal));
    b->setObjectName(text(diagonal));  // found by its source name
    b->hide();
  }
}

void CTavimorDlg::ptz_press(int command) {
  if (!guard(model::rights::kPtz)) return;
  CMyOutput* p = panes_[static_cast<std::size_t>(desk_.selected_pane)];
  if (p->PlayHandle() < 0) return;
  PtzControl(p->LoginHandle(), p->Channel(), command, p->TakePtzSpeed(), 0, 0, 0);
}

void CTavimorDlg::ptz_release(int command) {
  if (!model::has_right(state_.user.rights, model::rights::kPtz)) {
    messages_.info(u"对不起，你无权限进行这项操作!");
    return;
  }
  CMyOutput* p = panes_[static_cast<std::size_t>(desk_.selected_pane)];
  if (p->PlayHandle() < 0) return;
  PtzControl(p->LoginHandle(), p->Channel(), command, 0, 0, 0, 0);
}

model::Rect CTavimorDlg::VideoArea() const {
  return {10, 10, std::max(0, width() - kPanelWidth - 20),
          std::max(0, height() - kBottomHeight - 20)};
}

void CTavimorDlg::place_controls() {
  const int w = width();
  const int h = height();
  const int px = w - kPanelWidth;
  video_->setGeometry(0, 0, px, h - kBottomHeight);

  system_button_->setGeometry(px + 10, 20, 34, 30);
  findChild<QWidget*>(id_name(1552))->setGeometry(px + 10, 84, 136, kButtonHeight);
  findChild<QWidget*>(id_name(1553))->setGeometry(px + 154, 84, 136, kButtonHeight);

  const int sliders_h = 5 * 28 + 38;
  const int bit_rate_h = 76;
  const int panel_top = 122;
  const int panel_h = std::max(120, h - panel_top - sliders_h - bit_rate_h - 34);
  tree_->setGeometry(px + 10, panel_top, kPanelWidth - 20, panel_h);
  ptz_group_->setGeometry(px + 10, panel_top, kPanelWidth - 20, panel_h);
  {
    // The pad: arrows around the auto button, then the three lens pairs.
    const int cx = (kPanelWidth - 20) / 2;
    auto place = [&](int id, int x, int y, int bw, int bh) {
      ptz_group_->findChild<QWidget*>(id_name(id))->setGeometry(x, y, bw, bh);
    };
    const int s = 40;
    place(1012, cx - s / 2, 16, s, s);
    place(1010, cx - s / 2 - s - 6, 16 + s + 6, s, s);
    place(1526, cx - s / 2, 16 + s + 6, s, s);
    place(1013, cx + s / 2 + 6, 16 + s + 6, s, s);
    place(1011, cx - s / 2, 16 + 2 * (s + 6), s, s);
    const int y0 = 16 + 3 * (s + 6) + 16;
    const std::array<std::pair<int, int>, 3> pairs{{{1017, 1014}, {1018, 1015}, {1019, 1016}}};
    for (std::size_t i = 0; i < pairs.size(); ++i) {
      const int y = y0 + static_cast<int>(i) * 40;
      place(pairs[i].first, cx - 100, y, 90, kButtonHeight);
      place(pairs[i].second, cx + 10, y, 90, kButtonHeight);
    }
  }

  const int sy = panel_top + panel_h + 12;
  sliders_->setGeometry(px + 10, sy, kPanelWidth - 20, sliders_h);
  // The labels take the widest caption (English ones are longer).
  int label_w = 62;
  for (const auto& row : kSliders)
    label_w = std::max(
        label_w,
        sliders_->findChild<QWidget*>(QStringLiteral("label%1").arg(row.id))->sizeHint().width());
  for (std::size_t i = 0; i < kSliders.size(); ++i) {
    const int y = static_cast<int>(i) * 28;
    sliders_->findChild<QWidget*>(QStringLiteral("label%1").arg(kSliders[i].id))
        ->setGeometry(0, y, label_w, 24);
    slider_[i]->setGeometry(label_w + 4, y, kPanelWidth - 20 - label_w - 8, 24);
  }
  sliders_->findChild<QWidget*>(id_name(1020))
      ->setGeometry(kPanelWidth - 20 - kButtonWidth, 5 * 28 + 4, kButtonWidth, kButtonHeight);
  bit_rate_->setGeometry(px + 10, sy + sliders_h + 8, kPanelWidth - 20, bit_rate_h);

  // Bottom bar under the video area.
  const int by = h - kBottomHeight;
  lights_->setGeometry(10, by + 6, px - 20, 24);
  {
    auto* record_label = lights_->findChild<QWidget*>(QStringLiteral("recordLightsLabel"));
    const int record_w = std::max(40, record_label->sizeHint().width());
    record_label->setGeometry(0, 0, record_w, 22);
    int x = record_w + 4;
    for (auto* l : record_lights_) {
      l->setGeometry(x, 3, 18, 18);
      x += 22;
    }
    x += 24;
    auto* alarm_label = lights_->findChild<QWidget*>(QStringLiteral("alarmLightsLabel"));
    const int alarm_w = std::max(40, alarm_label->sizeHint().width());
    alarm_label->setGeometry(x, 0, alarm_w, 22);
    x += alarm_w + 4;
    for (auto* l : alarm_lights_) {
      l->setGeometry(x, 3, 18, 18);
      x += 22;
    }
  }
  commands_->setGeometry(10, by + 40, px - 20, 56);
  {
    int x = 0;
    // A caption wider than the button (English) widens it.
    const auto button_w = [&](int id) {
      return std::max(kButtonWidth,
                      commands_->findChild<QWidget*>(id_name(id))->sizeHint().width());
    };
    auto place = [&](int id, int bw) {
      commands_->findChild<QWidget*>(id_name(id))->setGeometry(x, 8, bw, kButtonHeight + 4);
      x += bw + 6;
    };
    for (int id : {1087, 1081, 1084, 1085, 1021, 1089, 1079, 1080}) place(id, button_w(id));
    x += 18;
    auto* layout_label = commands_->findChild<QWidget*>(QStringLiteral("layoutLabel"));
    const int layout_w = std::max(52, layout_label->sizeHint().width());
    layout_label->setGeometry(x, 8, layout_w, 34);
    x += layout_w + 2;
    layout_combo_->setGeometry(x, 10, 64, 30);
    x += 72;
    for (int id : {1531, 1527, 1528, 1529}) {
      commands_->findChild<QWidget*>(id_name(id))->setGeometry(x, 9, 32, 32);
      x += 38;
    }
    int rx = commands_->width();
    for (int id : {1555, 1598, 1000}) rx -= button_w(id) + 6;
    for (int id : {1555, 1598, 1000}) {
      commands_->findChild<QWidget*>(id_name(id))
          ->setGeometry(rx, 8, button_w(id), kButtonHeight + 4);
      rx += button_w(id) + 6;
    }
  }
}

// ---- initialisation ----

void CTavimorDlg::Initialise(const std::function<void()>& close_splash,
                             const std::function<void()>& pump) {
  if (QScreen* screen = QGuiApplication::primaryScreen()) setGeometry(screen->geometry());
  recorders_ = std::make_unique<DeskRecorders>(*this);
  if (!viewer_)
    viewer_ = [](const std::filesystem::path& file) {
      QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(file.string())));
    };
  place_controls();

  state_.load_channel_file();
  start_timer(kReloginTimer, 60000);
  // The pump runs the timers: a re-login now would race the start-up's own.
  starting_logins_ = true;
  model::login_stored_servers(state_, sdk_, messages_, pump);
  starting_logins_ = false;
  state_.load_settings();
  start_timer(kPlanTimer, 20000);
  if (state_.settings.time_sync) start_timer(kTimeSyncTimer, 1000);

  layout_combo_->setCurrentIndex(2);
  desk_.page_size = 9;
  apply_layout(9, 0);
  SelectPane(0);
  start_timer(kDiskTimer, 2000);
  start_timer(kPackTimer, 20000);
  bit_rate_->SetTitle(tx("码率(kbps)"));
  bit_rate_->SetValue(0);
  start_timer(kBitRateTimer, 1000);
  start_timer(kHealthTimer, 1000);

  if (close_splash) close_splash();
  FillDeviceTree();
  panes_[0]->setFocus();
}

void CTavimorDlg::OnPlayBack() {
  CPlayBack dialog(state_, messages_, this);
  dialog.exec();
}

void CTavimorDlg::OnTalkback() {
  if (!guard(model::rights::kTalkback)) return;
  CVoiceExchange dialog(
      state_, messages_,
      [this] {
        if (desk_.previewing) return true;
        for (auto* p : panes_)
          if (p->Playing()) return true;
        return false;
      },
      this);
  if (talkback_setup_) talkback_setup_(dialog);
  dialog.exec();
}

void CTavimorDlg::OnEventLog() {
  if (!guard(model::rights::kEventLog)) return;
  if (state_.settings.alarm_sound && alarm_sound_) alarm_sound_->Stop();
  {
    CEventLog dialog(state_, messages_, *clock_, this);
    dialog.exec();
  }
  for (std::size_t i = 0; i < alarm_slots_.size(); ++i)
    alarm_lights_[i]->SetState(alarm_slots_[i] >= 0 ? CLedIndicator::State::Normal
                                                    : CLedIndicator::State::Off);
}

void CTavimorDlg::OnSystemConfig() {
  CSystemConfig dialog(
      state_, messages_, sdk_, *device_,
      [this](int pane) {
        return pane >= 0 && pane < model::kPanes &&
               panes_[static_cast<std::size_t>(pane)]->Playing();
      },
      this);
  dialog.exec();
  ApplySystemConfig(dialog.HardwareChange());
}

void CTavimorDlg::ApplySystemConfig(int hardware_change) {
  if (hardware_change == 1) {
    apply_layout(desk_.page_size, 0);
    SelectPane(0);
  }
  if (state_.settings.time_sync == 1) {
    if (!TimerActive(kTimeSyncTimer)) start_timer(kTimeSyncTimer, 1000);
  } else {
    stop_timer(kTimeSyncTimer);
  }
  model::choose_recording_drive(state_.drives, state_.settings, *space_);
  FillDeviceTree();
}

void CTavimorDlg::FillDeviceTree() {
  std::vector<model::TreeServer> servers;
  {
    std::lock_guard lock(state_.table_mutex);
    servers = model::device_tree(state_.servers);
  }
  tree_->DeleteAllItems();
  for (const auto& s : servers) {
    QTreeWidgetItem* root = tree_->AddItem(nullptr, qs(s.name), 0, s.server);
    for (const auto& c : s.channels) tree_->AddItem(root, qs(c.name), 1, c.channel);
    root->setExpanded(true);
  }
}

// ---- layout and selection ----

void CTavimorDlg::apply_layout(int page_size, int first) {
  const bool full = desk_.single_full_screen || desk_.multi_full_screen;
  const model::Rect area = full ? model::Rect{0, 0, width(), height()} : VideoArea();
  const auto rects = model::layout_panes(page_size, first, area, full);
  for (auto* p : panes_) p->hide();
  for (int i = 0; i < model::kPanes; ++i) {
    const auto& r = rects[static_cast<std::size_t>(i)];
    if (!r) continue;
    CMyOutput* p = panes_[static_cast<std::size_t>(i)];
    p->SetPaneRect(*r);
    p->show();
  }
}

void CTavimorDlg::SelectLayout(int page_size) {
  if (!guard(model::rights::kSplitScreen)) return;
  if (model::choose_layout(desk_, page_size, messages_)) {
    apply_layout(page_size, 0);
    SelectPane(0);
  }
  layout_combo_->setCurrentIndex(model::page_size_item(desk_.page_size));
}

void CTavimorDlg::SelectPane(int pane) {
  if (pane < 0 || pane >= model::kPanes) return;
  desk_.selected_pane = pane;
  for (auto* p : panes_) p->SetSelected(p->Index() == pane);
  show_pane_settings(pane);
}

void CTavimorDlg::show_panel(bool ptz) {
  ptz_group_->setVisible(ptz);
  tree_->setVisible(!ptz);
}

// ---- recording, snapshots, image settings, lock ----

bool CTavimorDlg::StartRecording(int pane) {
  CMyOutput* p = panes_[static_cast<std::size_t>(pane)];
  if (!p->Playing() || p->Recording()) return false;
  const model::LocalTime now = clock_->local_now();
  const auto folder =
      model::prepare_recording_folder(state_.drives, state_.settings, *space_, now, false);
  if (!folder) return false;
  std::u16string device_id;
  {
    std::lock_guard lock(state_.table_mutex);
    for (int i = 0; i < model::kMaxServers && state_.servers.servers[i].used(); ++i)
      if (state_.servers.servers[i].login_handle == p->LoginHandle())
        device_id = state_.servers.servers[i].device_id;
  }
  const auto name = model::record_file_name(model::record_key(device_id), p->Channel(), now);
  const std::filesystem::path file = *folder / platform::utf8_from_u16(name);
  const std::int64_t stop =
      model::record_stop_time(clock_->seconds_now(), state_.settings.pack_minutes);
  if (p->StartRecording(file, stop)) return true;
  messages_.info(u"录像失败!");
  return false;
}

void CTavimorDlg::OnRecord() {
  if (!guard(model::rights::kManualRecord)) return;
  if (state_.settings.auto_record) return;
  CMyOutput* p = panes_[static_cast<std::size_t>(desk_.selected_pane)];
  if (p->Recording())
    p->StopRecording();
  else if (p->Playing())
    StartRecording(p->Index());
}

void CTavimorDlg::OnSnapshot() {
  if (!guard(model::rights::kSnapshot)) return;
  CMyOutput* p = panes_[static_cast<std::size_t>(desk_.selected_pane)];
  if (!p->Playing()) return;
  const std::filesystem::path folder = model::path_from_text(
      state_.settings.snapshot_folder, state_.drives.drives, state_.working_folder);
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  const auto name = model::snapshot_file_name(model::record_key(ui::u16(p->Address())),
                                              p->Channel(), clock_->local_now(),
                                              static_cast<std::uint32_t>(platform::tick_ms()));
  const std::filesystem::path file = folder / platform::utf8_from_u16(name);
  if (state_.settings.hardware_decoding) return;
  const std::wstring path = platform::wide_from_utf8(file.string());
  if (!CapturePicture(static_cast<int>(p->PlayHandle()), path.c_str())) {
    messages_.info(u"抓图失败!");
    return;
  }
  if (viewer_) viewer_(file);
}

void CTavimorDlg::on_recording_changed(int pane, bool recording) {
  record_lights_[static_cast<std::size_t>(pane)]->SetState(recording ? CLedIndicator::State::On
                                                                     : CLedIndicator::State::Off);
}

void CTavimorDlg::show_pane_settings(int pane) {
  const ImageSettings& s = image_[static_cast<std::size_t>(pane)];
  moving_sliders_ = true;
  const std::array<int, 5> values{s.brightness, s.contrast, s.saturation, s.hue, volume_};
  for (std::size_t i = 0; i < slider_.size(); ++i)
    if (slider_[i]) slider_[i]->setValue(values[i]);
  moving_sliders_ = false;
}

void CTavimorDlg::on_slider(std::size_t slider, int value) {
  if (moving_sliders_) return;
  const int pane = desk_.selected_pane;
  if (!model::has_right(state_.user.rights, model::rights::kImageAdjust)) {
    messages_.info(u"对不起，您无权限进行该操作！");
    show_pane_settings(pane);
    return;
  }
  CMyOutput* p = panes_[static_cast<std::size_t>(pane)];
  ImageSettings& s = image_[static_cast<std::size_t>(pane)];
  switch (slider) {
    case 0:
      s.brightness = value;
      break;
    case 1:
      s.contrast = value;
      break;
    case 2:
      s.saturation = value;
      break;
    case 3:
      s.hue = value;
      break;
    default:
      if (p->SoundOn()) {
        volume_ = value;
        Play264_PlaySound(p->PlayHandle());
        Play264_SetVolume(p->PlayHandle(), static_cast<DWORD>(value * 655));
      }
      break;
  }
}

void CTavimorDlg::OnDefaults() {
  if (!guard(model::rights::kImageAdjust)) return;
  CMyOutput* p = panes_[static_cast<std::size_t>(desk_.selected_pane)];
  image_[static_cast<std::size_t>(desk_.selected_pane)] = ImageSettings{};
  volume_ = 50;
  if (p->PlayHandle() >= 0) {
    Play264_PlaySound(p->PlayHandle());
    Play264_SetVolume(p->PlayHandle(), 65356);
  }
  show_pane_settings(desk_.selected_pane);
}

void CTavimorDlg::OnLock() {
  QWidget* lock = findChild<QWidget*>(id_name(1555));
  if (!desk_.locked) {
    // Everything before the lock button in the tab order.
    locked_controls_.clear();
    for (QWidget* w = nextInFocusChain(); w && w != this && w != lock; w = w->nextInFocusChain())
      if (w->isEnabled() && w->focusPolicy() != Qt::NoFocus && !qobject_cast<CMyOutput*>(w)) {
        w->setEnabled(false);
        locked_controls_.push_back(w);
      }
    desk_.locked = true;
    return;
  }
  const model::UserFiles files(state_.working_folder);
  model::UserDialogs controller(files, state_.user, messages_);
  CDlgLockPwd dialog(controller, this);
  if (dialog.exec() != QDialog::Accepted) return;
  for (QWidget* w : locked_controls_) w->setEnabled(true);
  locked_controls_.clear();
  desk_.locked = false;
}

// ---- the pane menu, paging, sound, full screen ----

void CTavimorDlg::on_pane_menu(int pane, QPoint global) {
  if (desk_.locked) return;
  CMyOutput* p = panes_[static_cast<std::size_t>(pane)];
  if (p->PlayHandle() < 0) return;
  SelectPane(pane);
  if (desk_.single_full_screen || desk_.multi_full_screen) return;
  QMenu* menu = BuildPaneMenu(pane);
  menu->popup(global);
}

QMenu* CTavimorDlg::BuildPaneMenu(int pane) {
  delete pane_menu_;
  pane_menu_ = new QMenu(this);
  pane_menu_->setObjectName(QStringLiteral("193"));
  pane_menu_->setTitle(tx("操作菜单"));
  CMyOutput* p = panes_[static_cast<std::size_t>(pane)];
  const bool plays = p->PlayHandle() >= 0;
  auto item = [this](int id, const QString& caption, bool enabled, auto&& action) {
    QAction* a = pane_menu_->addAction(caption, this, action);
    a->setObjectName(id_name(id));
    a->setEnabled(enabled);
    return a;
  };
  item(32771, desk_.cycle_paused ? tx("开始循环") : tx("暂停循环"), desk_.cycling,
       [this] { PauseCycling(); });
  item(32772, tx("下一页"), !desk_.cycling && desk_.next_page_available, [this] { NextPage(); });
  item(32773, tx("上一页"), !desk_.cycling && desk_.previous_page_available,
       [this] { PreviousPage(); });
  item(32774, p->SoundOn() ? tx("关闭声音") : tx("打开声音"), plays, [this] { ToggleSound(); });
  item(32775, tx("多窗口全屏"), true, [this] { MultiFullScreen(); });
  item(32778, tx("报警输出"), false, [] {});
  item(32781, tx("停止预览"), plays, [this, pane] { StopPane(pane); });
  item(32782, tx("设置预置位"), plays, [this, pane] { OpenPresetDialog(pane); });
  pane_menu_->addSeparator();
  QAction* health =
      pane_menu_->addAction(tx("显示通道状态\tCtrl+I"), this, [this] { ToggleHealthOverlay(); });
  health->setObjectName(QStringLiteral("healthOverlay"));
  health->setCheckable(true);
  health->setChecked(health_overlay_);
  return pane_menu_;
}

void CTavimorDlg::OpenPresetDialog(int pane) {
  if (!guard(model::rights::kPresets)) return;
  CMyOutput* p = panes_[static_cast<std::size_t>(pane)];
  if (p->Address().isEmpty() || p->Channel() < 0) return;
  if (!preset_dialog_) preset_dialog_ = new CPresetPTZ(state_, messages_, this);
  preset_dialog_->Open(p);
  preset_dialog_->show();
  preset_dialog_->raise();
}

void CTavimorDlg::turn_page(const model::PageTurn& turn, int pause_ms) {
  if (!turn.turn) return;
  for (auto* p : panes_) p->StopRecording();
  if (desk_.enlarged) {
    desk_.enlarged = false;
    apply_layout(desk_.page_size, 0);
    SelectPane(0);
  }
  stop_sound();
  std::vector<std::optional<model::ChannelRecord>> entries;
  {
    std::lock_guard lock(state_.table_mutex);
    for (int e : turn.entries)
      entries.push_back(e >= 0
                            ? std::optional(state_.play_list.entries[static_cast<std::size_t>(e)])
                            : std::nullopt);
  }
  const int n = desk_.page_size;
  run_worker([this, n, entries = std::move(entries), pause_ms] {
    for (int j = 0; j < n && j < model::kPanes; ++j)
      panes_[static_cast<std::size_t>(j)]->StopLive();
    for (std::size_t j = 0; j < entries.size() && j < panes_.size() && !preview_stop_; ++j) {
      if (!entries[j]) continue;
      start_pane(static_cast<int>(j), *entries[j]);
      preview_wake_.wait(pause_ms);
    }
  });
}

void CTavimorDlg::NextPage() {
  if (!guard(model::rights::kSplitScreen) || preview_thread_.running() || desk_.cycling) return;
  turn_page(model::next_page(desk_, state_.play_list.count), 100);
}

void CTavimorDlg::PreviousPage() {
  if (!guard(model::rights::kSplitScreen) || preview_thread_.running() || desk_.cycling) return;
  turn_page(model::previous_page(desk_, state_.play_list.count), 100);
}

void CTavimorDlg::PauseCycling() {
  if (!desk_.cycling) return;
  stop_timer(kCycleTimer);
  if (desk_.cycle_paused) {
    desk_.cycle_paused = false;
    show_cycle_page();  // the next page at once
  } else {
    desk_.cycle_paused = true;
  }
}

// ---- automatic cycling ----

void CTavimorDlg::start_cycling() {
  if (!cycle_thread_.running()) {
    cycle_thread_.join();
    cycle_quit_ = false;
    cycle_event_.reset();
    if (!cycle_thread_.create([this] { cycle_loop(); })) {
      messages_.info(u"无法启动预览!");
      return;
    }
    cycle_thread_.resume();
  }
  cycle_page_done_ = true;
  show_cycle_page();
}

void CTavimorDlg::stop_cycling() {
  stop_timer(kCycleTimer);
  cycle_quit_ = true;
  cycle_event_.set();
  cycle_thread_.join();
  cycle_event_.reset();
  cycle_page_done_ = true;
}

void CTavimorDlg::show_cycle_page() {
  if (!desk_.cycling || !cycle_page_done_ || !cycle_thread_.running()) return;
  std::vector<std::optional<model::ChannelRecord>> entries;
  {
    std::lock_guard lock(state_.table_mutex);
    const int count = std::clamp(state_.play_list.count, 0, model::kPlayListSize);
    if (desk_.page_size >= count) return;
    for (int i = 0; i < count; ++i)
      state_.play_list.entries[static_cast<std::size_t>(i)].listed = 1;
    const model::PageTurn turn = model::cycle_page(desk_, count);
    for (int e : turn.entries)
      entries.push_back(e >= 0
                            ? std::optional(state_.play_list.entries[static_cast<std::size_t>(e)])
                            : std::nullopt);
  }
  if (desk_.enlarged) {
    desk_.enlarged = false;
    apply_layout(desk_.page_size, 0);
    SelectPane(0);
  }
  stop_sound();
  {
    std::lock_guard lock(cycle_mutex_);
    cycle_entries_ = std::move(entries);
  }
  cycle_page_done_ = false;
  cycle_event_.set();
}

void CTavimorDlg::cycle_loop() {
  while (!cycle_quit_) {
    if (!cycle_event_.wait(1000) || cycle_quit_) continue;
    cycle_event_.reset();
    std::vector<std::optional<model::ChannelRecord>> entries;
    {
      std::lock_guard lock(cycle_mutex_);
      entries.swap(cycle_entries_);
    }
    for (std::size_t j = 0; j < entries.size() && j < panes_.size() && !cycle_quit_; ++j) {
      if (entries[j])
        start_pane(static_cast<int>(j), *entries[j]);
      else
        panes_[j]->StopLive();
    }
    QMetaObject::invokeMethod(
        this, [this] { cycle_page_shown(); }, Qt::QueuedConnection);
  }
}

void CTavimorDlg::cycle_page_shown() {
  cycle_page_done_ = true;
  emit cyclePageShown();
  if (!desk_.cycling || desk_.cycle_paused || cycle_quit_) return;
  // A cycle time of 0 would turn pages as fast as the panes start.
  if (!TimerActive(kCycleTimer))
    start_timer(kCycleTimer, std::max(1, state_.settings.cycle_time) * 1000);
}

void CTavimorDlg::stop_sound() {
  Play264_StopSound();
  for (auto* p : panes_) p->SetSound(false);
}

void CTavimorDlg::ToggleSound() {
  if (!guard(model::rights::kTalkback)) return;
  CMyOutput* p = panes_[static_cast<std::size_t>(desk_.selected_pane)];
  const bool hardware = state_.settings.hardware_decoding != 0;
  if (p->SoundOn()) {
    p->SetSound(false);
    if (!hardware) Play264_StopSound();
    return;
  }
  if (!hardware) Play264_StopSound();
  for (auto* other : panes_) other->SetSound(other == p);
  if (!hardware) {
    Play264_PlaySound(p->PlayHandle());
    Play264_SetVolume(p->PlayHandle(), 32750);
  }
}

void CTavimorDlg::StopPane(int pane) {
  if (!guard(model::rights::kShowChannel)) return;
  panes_[static_cast<std::size_t>(pane)]->StopLive();
  for (auto* p : panes_)
    if (p->Playing()) return;
  desk_.previewing = false;
  preview_button_->setText(tx("预览"));
}

void CTavimorDlg::set_controls_visible(bool visible) {
  for (QWidget* w : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
    if (w != video_ && !qobject_cast<QMenu*>(w)) w->setVisible(visible);
  if (visible) {
    show_panel(ptz_group_->property("shown").toBool());
    place_controls();
  } else {
    ptz_group_->setProperty("shown", ptz_group_->isVisible());
    video_->setGeometry(rect());
  }
}

void CTavimorDlg::MultiFullScreen() {
  CMyOutput* p = panes_[static_cast<std::size_t>(desk_.selected_pane)];
  if (p->PlayHandle() < 0) return;
  desk_.multi_full_screen = true;
  restore_page_size_ = desk_.page_size;
  set_controls_visible(false);
  apply_layout(desk_.page_size, 0);
  SelectPane(p->Index());
  bit_rate_on_ = false;
}

void CTavimorDlg::on_pane_double_click(int pane) {
  SelectPane(pane);
  CMyOutput* p = panes_[static_cast<std::size_t>(pane)];
  if (p->PlayHandle() < 0) return;
  if (desk_.single_full_screen || desk_.multi_full_screen) {
    leave_full_screen(pane);
  } else if (desk_.enlarged || desk_.page_size == 1) {
    desk_.single_full_screen = true;
    if (!desk_.enlarged) restore_page_size_ = desk_.page_size;
    set_controls_visible(false);
    for (auto* other : panes_) other->setVisible(other == p);
    p->SetPaneRect({0, 0, width(), height()});
    bit_rate_on_ = false;
  } else {
    restore_page_size_ = desk_.page_size;
    desk_.enlarged = true;
    apply_layout(1, pane);
    bit_rate_on_ = true;
  }
}

void CTavimorDlg::leave_full_screen(int pane) {
  desk_.single_full_screen = desk_.multi_full_screen = false;
  desk_.enlarged = false;
  set_controls_visible(true);
  apply_layout(restore_page_size_, restore_page_size_ == 1 ? pane : 0);
  SelectPane(pane);
  bit_rate_on_ = true;
}

void CTavimorDlg::FullScreenPane() {
  const int pane = desk_.selected_pane;
  CMyOutput* p = panes_[static_cast<std::size_t>(pane)];
  if (desk_.single_full_screen || desk_.multi_full_screen) {
    leave_full_screen(pane);
    return;
  }
  // The double click's rule: only a pane that plays fills the screen.
  if (p->PlayHandle() < 0) return;
  if (!desk_.enlarged) restore_page_size_ = desk_.page_size;
  desk_.single_full_screen = true;
  set_controls_visible(false);
  for (auto* other : panes_) other->setVisible(other == p);
  p->SetPaneRect({0, 0, width(), height()});
  bit_rate_on_ = false;
}

void CTavimorDlg::OnEscape() {
  if (desk_.single_full_screen || desk_.multi_full_screen) {
    leave_full_screen(desk_.selected_pane);
    return;
  }
  panes_[static_cast<std::size_t>(desk_.selected_pane)]->ResetZoom();
}

// ---- stream health ----

void CTavimorDlg::ToggleHealthOverlay() {
  health_overlay_ = !health_overlay_;
  for (CMyOutput* p : panes_) p->SetHealthOverlay(health_overlay_);
  if (health_overlay_) {
    gps_->Start(5000);
    health_tick();
  } else {
    gps_->Stop();
  }
}

void CTavimorDlg::health_tick() {
  const auto now = static_cast<std::int64_t>(platform::tick_ms64());
  struct Count {
    int playing = 0;
    int lost = 0;
  };
  std::map<int, Count> servers;
  std::vector<std::pair<long, int>> gps_targets;
  for (CMyOutput* p : panes_) {
    p->HealthTick(now);
    if (p->PlayHandle() < 0) continue;
    const auto entry = p->Entry();
    if (!entry) continue;
    Count& c = servers[entry->server_index];
    ++c.playing;
    if (!p->StreamStatus().isEmpty()) ++c.lost;
    const long login = p->LoginHandle();
    if (login >= 0 && std::none_of(gps_targets.begin(), gps_targets.end(),
                                   [&](const auto& t) { return t.first == login; }))
      gps_targets.emplace_back(login, -1);
  }
  // The position is the device's, whatever channel asks. GetGPSData
  // authenticates its channel again, which would break a live start or
  // reconnect of that channel: it asks on a channel no pane uses.
  std::erase_if(gps_targets, [&](auto& t) {
    for (int c = kSdkChannels - 1; c >= 0; --c) {
      const bool used = std::any_of(panes_.begin(), panes_.end(), [&](CMyOutput* p) {
        return p->PlayHandle() >= 0 && p->LoginHandle() == t.first && p->Channel() == c;
      });
      if (!used) {
        t.second = c;
        return false;
      }
    }
    return true;
  });
  if (health_overlay_) gps_->SetTargets(std::move(gps_targets));
  for (const auto& [server, c] : servers)
    device_seen(server, c.lost == c.playing ? model::DeviceWatch::Seen::down
                                            : model::DeviceWatch::Seen::up);
}

void CTavimorDlg::on_relogin_result(int server, bool ok) {
  device_seen(server, ok ? model::DeviceWatch::Seen::up : model::DeviceWatch::Seen::down);
}

void CTavimorDlg::device_seen(int server, model::DeviceWatch::Seen seen) {
  if (server < 0 || server >= model::kMaxServers) return;
  std::u16string name;
  {
    std::lock_guard lock(state_.table_mutex);
    if (!state_.servers.servers[server].used()) return;
    name = state_.servers.servers[server].name;
  }
  if (const auto line = device_watch_.observe(server, name, seen))
    state_.events.append(*line, clock_->local_now());
}

// ---- preview ----

void CTavimorDlg::OnPreview() {
  if (!guard(model::rights::kPreview)) return;
  if (preview_thread_.running()) return;
  preview_button_->setEnabled(false);

  bool ok;
  if (desk_.previewing) {
    stop_cycling();
    ok = run_worker(
        [this] {
          stop_panes();
          std::lock_guard lock(state_.table_mutex);
          state_.live_views.fill(0);
        },
        [this] { preview_done(false); });
  } else {
    std::vector<std::pair<int, model::ChannelRecord>> starts;
    {
      std::lock_guard lock(state_.table_mutex);
      const model::PreviewStart plan =
          model::begin_preview(desk_, state_.play_list, state_.settings.cycle_play != 0);
      if (!state_.settings.hardware_decoding)
        for (int i : plan.panes)
          starts.emplace_back(i, state_.play_list.entries[static_cast<std::size_t>(i)]);
    }
    if (desk_.previewing) layout_combo_->setEnabled(false);
    const int pause = pane_pause_ms_;
    ok = run_worker(
        [this, starts = std::move(starts), pause] {
          for (std::size_t n = 0; n < starts.size() && !preview_stop_; ++n) {
            start_pane(starts[n].first, starts[n].second);
            if (n + 1 < starts.size()) preview_wake_.wait(pause);
          }
        },
        [this] { preview_done(true); });
  }
  if (!ok) {
    messages_.info(u"无法启动预览!");
    preview_button_->setEnabled(true);
  }
}

void CTavimorDlg::start_pane(int pane, const model::ChannelRecord& entry) {
  CMyOutput* p = panes_[static_cast<std::size_t>(pane)];
  if (p->StartLive(entry)) return;
  p->MarkFailed();
  state_.events.append(
      model::live_start_failed_text(entry.address, entry.channel_index, _GetLastErrorCode()),
      clock_->local_now());
}

void CTavimorDlg::on_stream_notice(int pane, unsigned wparam) {
  if (wparam == NOTIFY_SESSION_LOST) {
    // The SDK reconnects by itself: the desk hears of it as a reconnect.
    PostMessage(Hwnd(), WM_USER + 1, 32773,
                static_cast<LPARAM>(panes_[static_cast<std::size_t>(pane)]->LoginHandle()));
    return;
  }
  if (wparam != NOTIFY_RECORD_FAILED) return;
  // The SDK ended the file at its last whole frame; the pane stops recording.
  CMyOutput* p = panes_[static_cast<std::size_t>(pane)];
  p->StopRecording();
  state_.events.append(
      model::fill_pattern(model::kRecordWriteFailed,
                          {ui::u16(p->Address()), model::u16_number(p->Channel())}),
      clock_->local_now());
}

void CTavimorDlg::OnException(unsigned code, long login_handle) {
  const std::u16string_view notice = model::exception_notice(code);
  if (notice.empty()) return;
  state_.events.append(std::u16string(notice), clock_->local_now());
  if (code == 32771 && desk_.previewing) {
    for (CMyOutput* p : panes_)
      if (p->PlayHandle() >= 0 && p->LoginHandle() == login_handle) p->StopLive();
  } else if (code == 32770) {
    bool lit = false;
    for (std::size_t i = 0; i < alarm_slots_.size(); ++i)
      if (alarm_slots_[i] >= 0 && alarm_slots_[i] == login_handle) {
        alarm_lights_[i]->SetState(CLedIndicator::State::On);
        lit = true;
      }
    if (lit && state_.settings.alarm_sound) {
      if (!alarm_sound_) alarm_sound_ = std::make_unique<AlarmSound>();
      alarm_sound_->PlayAlarm(state_);
    }
  }
}

void CTavimorDlg::SetAlarmSlot(int slot, long login_handle) {
  if (slot < 0 || slot >= model::kPanes) return;
  alarm_slots_[static_cast<std::size_t>(slot)] = login_handle;
  alarm_lights_[static_cast<std::size_t>(slot)]->SetState(
      login_handle >= 0 ? CLedIndicator::State::Normal : CLedIndicator::State::Off);
}

void CTavimorDlg::OnTreeDoubleClick(QTreeWidgetItem* item) {
  if (!item || !item->parent()) return;  // a server item
  show_channel(desk_.selected_pane, static_cast<int>(CBitmapTree::ItemData(item->parent())),
               static_cast<int>(CBitmapTree::ItemData(item)));
}

void CTavimorDlg::DropChannel(int pane, int server, int channel) {
  if (pane < 0 || pane >= model::kPanes || desk_.locked) return;
  SelectPane(pane);
  show_channel(pane, server, channel);
}

void CTavimorDlg::show_channel(int pane, int server, int channel) {
  if (!guard(model::rights::kShowChannel)) return;
  bool full = false;
  std::optional<model::ChannelRecord> entry;
  {
    std::lock_guard lock(state_.table_mutex);
    full = state_.play_list.count >= model::kPlayListSize;
    if (!full && server >= 0 && server < model::kMaxServers &&
        state_.servers.servers[server].used())
      for (const model::ChannelRecord& c : state_.servers.servers[server].channels)
        if (c.channel_index == channel) {
          entry = c;
          entry->server_index = server;
          entry->login_handle = state_.servers.servers[server].login_handle;
          break;
        }
  }
  if (full) {
    messages_.info(u"最多可添加512路,路数达到最大!");
    return;
  }
  if (!entry) return;
  CMyOutput* p = panes_[static_cast<std::size_t>(pane)];
  if (state_.settings.hardware_decoding) {
    // No decoder card shows video here: an idle pane logs the failed start.
    if (!p->Playing())
      state_.events.append(model::live_start_failed_text(entry->address, entry->channel_index, 0),
                           clock_->local_now());
    return;
  }
  if (!run_worker([this, pane, e = *entry] {
        panes_[static_cast<std::size_t>(pane)]->StopLive();
        start_pane(pane, e);
      }))
    return;
  desk_.previewing = true;
  preview_button_->setText(tx("停止"));
}

void CTavimorDlg::SwapPanes(int from, int to) {
  if (from == to || from < 0 || to < 0 || from >= model::kPanes || to >= model::kPanes ||
      desk_.locked)
    return;
  if (!guard(model::rights::kShowChannel)) return;
  CMyOutput* a = panes_[static_cast<std::size_t>(from)];
  CMyOutput* b = panes_[static_cast<std::size_t>(to)];
  if (a->PlayHandle() < 0) return;  // nothing to move
  if (state_.settings.hardware_decoding) return;
  const std::optional<model::ChannelRecord> ea = a->Entry();
  const std::optional<model::ChannelRecord> eb =
      b->PlayHandle() >= 0 ? b->Entry() : std::optional<model::ChannelRecord>();
  if (!ea) return;
  SelectPane(to);
  run_worker([this, from, to, ea, eb] {
    // Both stop first: a device channel plays in one pane at a time.
    panes_[static_cast<std::size_t>(from)]->StopLive();
    panes_[static_cast<std::size_t>(to)]->StopLive();
    start_pane(to, *ea);
    if (eb) start_pane(from, *eb);
  });
}

bool CTavimorDlg::run_worker(std::function<void()> body, std::function<void()> done) {
  if (preview_thread_.running()) return false;
  preview_thread_.join();
  preview_stop_ = false;
  preview_wake_.reset();
  if (!preview_thread_.create([this, body = std::move(body), done = std::move(done)] {
        body();
        QMetaObject::invokeMethod(
            this,
            [this, done] {
              preview_thread_.join();
              if (done) done();
            },
            Qt::QueuedConnection);
      }))
    return false;
  preview_thread_.resume();
  return true;
}

void CTavimorDlg::preview_done(bool started) {
  if (started) {
    if (desk_.previewing) preview_button_->setText(tx("停止"));
    if (desk_.cycling) start_cycling();
  } else {
    model::end_preview(desk_);
    preview_button_->setText(tx("预览"));
    layout_combo_->setEnabled(true);
  }
  preview_button_->setEnabled(true);
  emit previewPassDone();
}

void CTavimorDlg::stop_preview_thread() {
  preview_stop_ = true;
  preview_wake_.set();
  preview_thread_.join();
}

void CTavimorDlg::stop_panes() {
  for (auto* p : panes_)
    if (p) p->StopLive(CMyOutput::kIdle);
}

void CTavimorDlg::StopAll() {
  stop_cycling();
  stop_preview_thread();
  stop_sound();
  preview_button_->setText(tx("预览"));
  if (desk_.enlarged) {
    apply_layout(desk_.page_size, 0);
    SelectPane(0);
  }
  model::end_preview(desk_);
  layout_combo_->setEnabled(true);
  // Every stop tears its session down over the network (about 10 ms for a
  // TCP channel): sixteen of them would hold the GUI up.
  preview_button_->setEnabled(false);
  const auto done = [this] {
    preview_button_->setEnabled(true);
    preview_button_->update();
    emit previewPassDone();
  };
  if (!run_worker([this] { stop_panes(); }, done)) {
    stop_panes();
    done();
  }
}

// ---- exit and the system menu ----

void CTavimorDlg::OnExit() {
  if (exiting_) return;
  if (!guard(model::rights::kExit)) return;
  if (!messages_.confirm(u"确定要退出吗?", model::kSystemCaption)) return;
  ExitNow();
}

void CTavimorDlg::ExitNow() {
  if (exiting_) return;
  StopAll();
  preview_thread_.join();  // the logouts come after every stop
  std::vector<long> handles;
  {
    std::lock_guard lock(state_.table_mutex);
    for (int i = 0; i < model::kMaxServers && state_.servers.servers[i].used(); ++i)
      if (state_.servers.servers[i].login_handle != -1)
        handles.push_back(state_.servers.servers[i].login_handle);
  }
  for (long h : handles) sdk_.log_out(h);
  exiting_ = true;
  for (auto& [id, t] : timers_) t->stop();
  done(QDialog::Rejected);
}

void CTavimorDlg::OnAbout() {
  CAboutDlg about(this);
  about.exec();
}

void CTavimorDlg::closeEvent(QCloseEvent* e) {
  if (exiting_) {
    e->accept();
    return;
  }
  e->ignore();
  OnExit();
}

namespace {
// The arrow keys and the PTZ commands they hold (release: stop, 30).
int arrow_command(int key) {
  switch (key) {
    case Qt::Key_Up:
      return 21;
    case Qt::Key_Down:
      return 22;
    case Qt::Key_Left:
      return 23;
    case Qt::Key_Right:
      return 24;
    default:
      return 0;
  }
}
}  // namespace

void CTavimorDlg::keyPressEvent(QKeyEvent* e) {
  if (e->key() == Qt::Key_Space && (e->modifiers() & Qt::AltModifier)) {
    system_menu_->popup(mapToGlobal(QPoint(0, 0)));
    return;
  }
  // Enter and Escape must not reach QDialog, which would close the desk.
  if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter || e->key() == Qt::Key_Escape) {
    e->accept();
    return;
  }
  const bool plain = !(e->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
  if (plain && !desk_.locked) {
    if (const int command = arrow_command(e->key())) {
      e->accept();
      if (e->isAutoRepeat() || held_arrow_) return;
      held_arrow_ = e->key();
      ptz_press(command);
      return;
    }
    switch (e->key()) {
      case Qt::Key_Space:
        e->accept();
        if (!e->isAutoRepeat()) PauseCycling();
        return;
      case Qt::Key_PageDown:
        e->accept();
        if (!e->isAutoRepeat()) NextPage();
        return;
      case Qt::Key_PageUp:
        e->accept();
        if (!e->isAutoRepeat()) PreviousPage();
        return;
      case Qt::Key_0:
        e->accept();
        panes_[static_cast<std::size_t>(desk_.selected_pane)]->ResetZoom();
        return;
      default:
        break;
    }
  }
  QDialog::keyPressEvent(e);
}

void CTavimorDlg::keyReleaseEvent(QKeyEvent* e) {
  if (arrow_command(e->key()) && !e->isAutoRepeat()) {
    e->accept();
    if (held_arrow_ != e->key()) return;
    held_arrow_ = 0;
    ptz_release(30);
    return;
  }
  QDialog::keyReleaseEvent(e);
}

bool CTavimorDlg::guard(std::uint32_t right) {
  return model::check_right(state_.user.rights, right, messages_);
}

// ---- painting ----

void CTavimorDlg::resizeEvent(QResizeEvent*) {
  place_controls();
  apply_layout(desk_.enlarged ? 1 : desk_.page_size, 0);
}

void CTavimorDlg::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const int w = width();
  const int h = height();
  const int px = w - kPanelWidth;
  p.fillRect(rect(), QColor(148, 148, 148));
  const QPixmap bottom = skin::picture(QStringLiteral("bk318.bmp"));
  const QPixmap right = skin::picture(QStringLiteral("bk320.bmp"));
  const QPixmap area = skin::picture(QStringLiteral("bk323.bmp"));
  if (!bottom.isNull()) p.drawPixmap(QRect(0, h - kBottomHeight, px, kBottomHeight), bottom);
  if (!right.isNull()) p.drawPixmap(QRect(px, 0, kPanelWidth, h), right);
  if (!area.isNull()) p.drawPixmap(QRect(0, 0, px, h - kBottomHeight), area);
  const QPixmap logo = working_picture(state_.working_folder, "logo.bmp");
  if (!logo.isNull()) p.drawPixmap(w - logo.width() - 8, 15, logo);
}

std::string CTavimorDlg::StatusReport() const {
  std::string out = "now=" + std::to_string(platform::tick_ms64()) +
                    " previewing=" + std::to_string(desk_.previewing) +
                    " cycling=" + std::to_string(desk_.cycling) +
                    " paused=" + std::to_string(desk_.cycle_paused) +
                    " page_size=" + std::to_string(desk_.page_size) +
                    " offset=" + std::to_string(desk_.play_list_offset) +
                    " cycle_position=" + std::to_string(desk_.cycle_position) +
                    " selected=" + std::to_string(desk_.selected_pane) + "\n";
  for (CMyOutput* p : panes_) {
    QString text = p->StreamStatus();
    // The SDK's progress text lasts; it says something only before a picture.
    if (text.isEmpty() && p->Backend().first_picture_ms() < 0) text = p->Backend().text();
    out += "pane=" + std::to_string(p->Index()) + " shown=" + std::to_string(p->isVisible()) +
           " handle=" + std::to_string(p->PlayHandle()) +
           " playing=" + std::to_string(p->Playing()) +
           " recording=" + std::to_string(p->Recording()) +
           " pictures=" + std::to_string(p->Backend().pictures_received()) +
           " started=" + std::to_string(p->StartedMs()) +
           " first=" + std::to_string(p->Backend().first_picture_ms()) +
           " server=" + p->Address().toStdString() + " channel=" + std::to_string(p->Channel()) +
           " status=" + text.simplified().toStdString() + "\n";
  }
  return out;
}

// ---- timers ----

void CTavimorDlg::start_timer(int id, int period_ms) {
  QTimer*& t = timers_[id];
  if (!t) {
    t = new QTimer(this);
    t->setObjectName(QStringLiteral("timer%1").arg(id));
    connect(t, &QTimer::timeout, this, [this, id] { on_timer(id); });
  }
  t->start(period_ms);
}

void CTavimorDlg::stop_timer(int id) {
  auto it = timers_.find(id);
  if (it != timers_.end()) it->second->stop();
}

bool CTavimorDlg::TimerActive(int id) const {
  auto it = timers_.find(id);
  return it != timers_.end() && it->second->isActive();
}

void CTavimorDlg::on_timer(int id) {
  switch (id) {
    case kBitRateTimer: {
      if (!bit_rate_on_) break;
      const CMyOutput* p = panes_[static_cast<std::size_t>(desk_.selected_pane)];
      bit_rate_->SetValue(p->Playing() ? _GetBitRate(p->LoginHandle(), p->Channel()) : 0);
      break;
    }
    case kPlanTimer:
      model::plan_check(state_.settings, desk_.cycling, state_.drives.all_full, clock_->local_now(),
                        *recorders_);
      break;
    case kDiskTimer: {
      const auto r = model::disk_space_check(state_.drives, state_.settings, *space_, *recorders_,
                                             state_.events, clock_->local_now(), messages_);
      if (!r.rearm) stop_timer(kDiskTimer);
      break;
    }
    case kPackTimer:
      model::file_packing(clock_->seconds_now(), *recorders_);
      break;
    case kHealthTimer:
      health_tick();
      break;
    case kCycleTimer:
      stop_timer(kCycleTimer);
      show_cycle_page();
      break;
    case kReloginTimer:
      // Only servers without a handle log in again (see relogin_servers).
      if (!starting_logins_ && !exiting_ && relogin_.start()) emit reloginStarted();
      break;
    default:
      // Time sync only visits the server records: nothing goes to a device.
      break;
  }
}

}  // namespace ui
