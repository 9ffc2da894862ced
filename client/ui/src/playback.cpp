#include "ui/playback.h"

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QMetaObject>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPolygonF>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QSlider>
#include <QTabBar>
#include <QTabWidget>
#include <QTimeEdit>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>
#include <mutex>
#include <utility>

#include "controls/bmp_button.h"
#include "controls/skin.h"
#include "dialog_frame.h"
#include "model/settings.h"
#include "model/time_source.h"
#include "platform/clock.h"
#include "platform/text.h"
#include "ui/i18n.h"
#include "ui/message_box.h"
#include "vidrane/vidrane.h"

namespace ui {
namespace {

namespace fs = std::filesystem;

constexpr int kProgressRange = 200;
constexpr int kVolumeMax = 65535;
constexpr int kVolumeStart = 32767;
constexpr int kEnlargedMargin = 30;

// What the player's threads need of the page that owns port 17: set and
// cleared by the page on the GUI thread, read by the callbacks, all under m.
struct PlayerLink {
  std::mutex m;
  CLocalFilePlay* page = nullptr;
  bool snapshot = false;  // the snapshot request flag
  fs::path folder;
  model::SnapshotNaming naming;
};

PlayerLink& player_link() {
  static PlayerLink link;
  return link;
}

enum class Glyph {
  kPlay,
  kPause,
  kStop,
  kSlow,
  kFast,
  kSnapshot,
  kFrameBack,
  kFrameForward,
  kSoundOn,
  kSoundOff
};

// The transport pictures, drawn by code in the skin's colours.
QPixmap glyph_picture(Glyph g, QColor ink) {
  QPixmap pm(20, 20);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  p.setBrush(ink);
  auto tri = [&p](QPointF a, QPointF b, QPointF c) { p.drawPolygon(QPolygonF{a, b, c}); };
  auto speaker = [&] {
    p.drawRect(QRectF(2.5, 7.5, 4, 5));
    p.drawPolygon(QPolygonF{{6.5, 7.5}, {11, 3.5}, {11, 16.5}, {6.5, 12.5}});
  };
  switch (g) {
    case Glyph::kPlay:
      tri({6, 4}, {6, 16}, {16, 10});
      break;
    case Glyph::kPause:
      p.drawRect(QRectF(5, 4, 3.5, 12));
      p.drawRect(QRectF(11.5, 4, 3.5, 12));
      break;
    case Glyph::kStop:
      p.drawRect(QRectF(5, 5, 10, 10));
      break;
    case Glyph::kFast:
      tri({3, 5}, {3, 15}, {10, 10});
      tri({10, 5}, {10, 15}, {17, 10});
      break;
    case Glyph::kSlow:
      tri({17, 5}, {17, 15}, {10, 10});
      tri({10, 5}, {10, 15}, {3, 10});
      break;
    case Glyph::kFrameBack:
      p.drawRect(QRectF(4, 5, 2.5, 10));
      tri({16, 5}, {16, 15}, {7.5, 10});
      break;
    case Glyph::kFrameForward:
      tri({4, 5}, {4, 15}, {12.5, 10});
      p.drawRect(QRectF(13.5, 5, 2.5, 10));
      break;
    case Glyph::kSnapshot:
      p.drawRoundedRect(QRectF(2, 6, 16, 11), 2, 2);
      p.drawRect(QRectF(6.5, 4, 6, 3));
      p.setBrush(skin::kButton);
      p.drawEllipse(QPointF(10, 11.5), 3.6, 3.6);
      p.setBrush(skin::kAccentLight);
      p.drawEllipse(QPointF(10, 11.5), 1.8, 1.8);
      break;
    case Glyph::kSoundOn: {
      speaker();
      QPen pen(ink, 1.4);
      pen.setCapStyle(Qt::RoundCap);
      p.setPen(pen);
      p.setBrush(Qt::NoBrush);
      p.drawArc(QRectF(9, 6.5, 5, 7), -50 * 16, 100 * 16);
      p.drawArc(QRectF(9, 3.5, 9, 13), -50 * 16, 100 * 16);
      break;
    }
    case Glyph::kSoundOff: {
      speaker();
      QPen pen(ink, 1.6);
      pen.setCapStyle(Qt::RoundCap);
      p.setPen(pen);
      p.drawLine(QPointF(13, 7), QPointF(18, 13));
      p.drawLine(QPointF(18, 7), QPointF(13, 13));
      break;
    }
  }
  p.end();
  return pm;
}

QIcon glyph(Glyph g) {
  QIcon icon(glyph_picture(g, skin::kText));
  icon.addPixmap(glyph_picture(g, skin::kTextDisabled.darker(130)), QIcon::Disabled);
  return icon;
}

QPushButton* picture_button(QWidget* parent, Glyph g, const char* name) {
  auto* b = new CBMPButton(QString(), parent);
  b->setObjectName(QString::fromLatin1(name));
  b->setIcon(glyph(g));
  b->setIconSize(QSize(20, 20));
  b->setFixedSize(40, 30);
  b->setAutoDefault(false);
  return b;
}

QPushButton* text_button(QWidget* parent, const QString& text, const char* name) {
  QPushButton* b = make_dialog_button(parent, text, name);
  b->setAutoDefault(false);
  return b;
}

model::LocalTime local_time(const QDate& d, const QTime& t) {
  return model::LocalTime{d.year(),   d.month(),  d.day(),          t.hour(),
                          t.minute(), t.second(), d.dayOfWeek() % 7};
}

QString path_text(const fs::path& p) {
  return QString::fromStdString(p.string());
}

}  // namespace

// ---- the video area ----

CPlayVideo::CPlayVideo(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("video"));
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMinimumSize(352, 288);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  // Clicked, it takes the keys that reset the zoom.
  setFocusPolicy(Qt::ClickFocus);
  QtWindowBackend::Hooks hooks;
  hooks.repaint = [this] { update(); };
  window_ = std::make_unique<QtWindow>(this, std::move(hooks), 352, 288);
}

CPlayVideo::~CPlayVideo() {
  // Dead for the player before the widget goes.
  window_.reset();
}

void CPlayVideo::Clear() {
  Backend().clear();
  ResetZoom();
  update();
}

void CPlayVideo::ResetZoom() {
  zoom_.Reset();
  zoom_changed();
}

void CPlayVideo::zoom_changed() {
  if (zoom_.Panning())
    setCursor(Qt::ClosedHandCursor);
  else if (zoom_.Zoomed())
    setCursor(Qt::OpenHandCursor);
  else
    unsetCursor();
  update();
}

void CPlayVideo::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QRect all = rect();
  const QImage* picture = Backend().take_picture();
  if (!picture || picture->isNull()) {
    p.fillRect(all, skin::kVideoBack);
    return;
  }
  // The player scales to the window; a picture of the size before a resize
  // is stretched until the next one comes.
  zoom_.Draw(p, all, *picture);
}

void CPlayVideo::resizeEvent(QResizeEvent*) {
  Backend().set_size(width(), height());
  if (on_resize) on_resize();
}

void CPlayVideo::mouseDoubleClickEvent(QMouseEvent* e) {
  if (e->button() == Qt::LeftButton && on_double_click) on_double_click();
}

void CPlayVideo::wheelEvent(QWheelEvent* e) {
  if (zoom_.Wheel(e, size()))
    zoom_changed();
  else
    QWidget::wheelEvent(e);
}

void CPlayVideo::mousePressEvent(QMouseEvent* e) {
  if (zoom_.Press(e))
    zoom_changed();
  else
    QWidget::mousePressEvent(e);
}

void CPlayVideo::mouseMoveEvent(QMouseEvent* e) {
  const bool panning = zoom_.Panning();
  if (zoom_.Move(e, size()))
    zoom_changed();
  else if (panning)
    zoom_changed();  // the pan ended without a release
  else
    QWidget::mouseMoveEvent(e);
}

void CPlayVideo::mouseReleaseEvent(QMouseEvent* e) {
  if (zoom_.Release(e))
    zoom_changed();
  else
    QWidget::mouseReleaseEvent(e);
}

void CPlayVideo::keyPressEvent(QKeyEvent* e) {
  // Unzoomed, Escape keeps its meaning for the window.
  const bool reset = e->key() == Qt::Key_Escape || e->key() == Qt::Key_0;
  if (reset && zoom_.Zoomed()) {
    ResetZoom();
    e->accept();
    return;
  }
  QWidget::keyPressEvent(e);
}

// ---- the file page ----

CLocalFilePlay::CLocalFilePlay(model::ClientState& state, model::MessageSink& messages,
                               QWidget* parent)
    : QWidget(parent), state_(state), messages_(messages) {
  setObjectName(QStringLiteral("localFilePlay"));
  build();
  fill_servers();
  {
    PlayerLink& link = player_link();
    std::lock_guard lock(link.m);
    link.page = this;
    link.snapshot = false;
  }
  apply_controls();
}

CLocalFilePlay::~CLocalFilePlay() {
  Close();
  Play264_SetFileRefCallBack(kPlayPort, nullptr, nullptr);
  PlayerLink& link = player_link();
  std::lock_guard lock(link.m);
  if (link.page == this) {
    link.page = nullptr;
    link.snapshot = false;
  }
}

void CLocalFilePlay::build() {
  // Search conditions.
  auto* search_panel = new QGroupBox(tx("文件查询"), this);
  server_ = new QComboBox(search_panel);
  server_->setObjectName(QStringLiteral("server"));
  channel_ = new QComboBox(search_panel);
  channel_->setObjectName(QStringLiteral("channel"));
  channel_->addItem(tx("全部通道"));
  file_type_ = new QComboBox(search_panel);
  file_type_->setObjectName(QStringLiteral("fileType"));
  file_type_->addItem(tx("全部"));
  const QDate today = QDate::currentDate();
  auto date_edit = [&](const char* name) {
    auto* e = new QDateEdit(today, search_panel);
    e->setObjectName(QString::fromLatin1(name));
    e->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    e->setCalendarPopup(true);
    return e;
  };
  auto time_edit = [&](const char* name, QTime t) {
    auto* e = new QTimeEdit(t, search_panel);
    e->setObjectName(QString::fromLatin1(name));
    e->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    return e;
  };
  start_date_ = date_edit("startDate");
  start_time_ = time_edit("startTime", QTime(0, 0, 0));
  end_date_ = date_edit("endDate");
  end_time_ = time_edit("endTime", QTime(23, 59, 59));
  search_ = text_button(search_panel, tx("查找"), "search");
  delete_ = text_button(search_panel, tx("删除"), "delete");
  delete_all_ = text_button(search_panel, tx("全部删除"), "deleteAll");
  export_mp4_ = text_button(search_panel, tx("导出MP4"), "exportMp4");

  auto* form = make_form();
  form->addRow(tx("选择服务器"), server_);
  form->addRow(tx("通道"), channel_);
  form->addRow(tx("文件类型"), file_type_);
  auto pair = [](QWidget* a, QWidget* b) {
    auto* row = new QHBoxLayout;
    row->addWidget(a, 1);
    row->addWidget(b);
    return row;
  };
  form->addRow(tx("开始时间"), pair(start_date_, start_time_));
  form->addRow(tx("结束时间"), pair(end_date_, end_time_));
  auto* search_buttons = new QHBoxLayout;
  search_buttons->addWidget(search_);
  search_buttons->addWidget(delete_);
  search_buttons->addWidget(delete_all_);
  auto* search_column = new QVBoxLayout(search_panel);
  search_column->addLayout(form);
  search_column->addSpacing(8);
  search_column->addLayout(search_buttons);
  auto* export_row = new QHBoxLayout;
  export_row->addWidget(export_mp4_);
  export_row->addStretch(1);
  search_column->addLayout(export_row);
  search_column->addStretch(1);
  search_panel->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);

  // The video and its controls.
  video_ = new CPlayVideo(this);
  video_->on_double_click = [this] {
    if (file_open_) toggle_enlarged();
  };
  video_->on_resize = [this] {
    if (file_open_) Play264_RefreshPlay(kPlayPort);
  };
  auto* controls = new QWidget(this);
  progress_ = new QSlider(Qt::Horizontal, controls);
  progress_->setObjectName(QStringLiteral("progress"));
  progress_->setRange(0, kProgressRange);
  progress_->setPageStep(5);
  progress_->setSingleStep(1);
  play_ = picture_button(controls, Glyph::kPlay, "play");
  stop_ = picture_button(controls, Glyph::kStop, "stop");
  slow_ = picture_button(controls, Glyph::kSlow, "slow");
  fast_ = picture_button(controls, Glyph::kFast, "fast");
  snapshot_ = picture_button(controls, Glyph::kSnapshot, "snapshot");
  frame_back_ = picture_button(controls, Glyph::kFrameBack, "frameBack");
  frame_forward_ = picture_button(controls, Glyph::kFrameForward, "frameForward");
  sound_ = picture_button(controls, Glyph::kSoundOff, "sound");
  stop_->setToolTip(tx("停止"));
  slow_->setToolTip(tx("慢放"));
  fast_->setToolTip(tx("快放"));
  snapshot_->setToolTip(tx("抓图"));
  frame_back_->setToolTip(tx("单帧后退"));
  frame_forward_->setToolTip(tx("单帧前进"));
  volume_ = new QSlider(Qt::Horizontal, controls);
  volume_->setObjectName(QStringLiteral("volume"));
  volume_->setRange(0, kVolumeMax);
  volume_->setValue(kVolumeStart);
  volume_->setPageStep(kVolumeMax / 16);
  volume_->setMinimumWidth(110);
  volume_->setToolTip(tx("音量"));
  status_ = new QLabel(controls);
  status_->setObjectName(QStringLiteral("status"));
  status_->setMinimumWidth(260);
  snapshot_line_ = new QLabel(controls);
  snapshot_line_->setObjectName(QStringLiteral("snapshotMessage"));
  snapshot_line_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  snapshot_line_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  clip_start_ = text_button(controls, tx("保存"), "clipStart");
  clip_end_ = text_button(controls, tx("停止保存"), "clipEnd");

  auto* buttons = new QHBoxLayout;
  buttons->setSpacing(4);
  for (QPushButton* b :
       {play_, stop_, slow_, fast_, frame_back_, frame_forward_, snapshot_, sound_})
    buttons->addWidget(b);
  buttons->addSpacing(4);
  buttons->addWidget(volume_, 1);
  auto* lines = new QHBoxLayout;
  lines->addWidget(status_);
  lines->addStretch(1);
  lines->addWidget(clip_start_);
  lines->addWidget(clip_end_);
  auto* control_column = new QVBoxLayout(controls);
  control_column->setContentsMargins(0, 0, 0, 0);
  control_column->addWidget(progress_);
  control_column->addLayout(buttons);
  control_column->addLayout(lines);
  // A line of its own: the snapshot's path is long.
  control_column->addWidget(snapshot_line_);

  // The file list.
  list_ = new QTreeWidget(this);
  list_->setObjectName(QStringLiteral("fileList"));
  list_->setRootIsDecorated(false);
  list_->setUniformRowHeights(true);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setHeaderLabels({tx("文件名称"), tx("通道"), tx("类型"), tx("开始时间"), tx("结束时间")});
  // Long paths keep their file name visible.
  list_->setTextElideMode(Qt::ElideLeft);
  const int widths[] = {600, 50, 50, 140, 140};
  for (int c = 0; c < 5; ++c) list_->setColumnWidth(c, widths[c]);
  list_->header()->setStretchLastSection(true);
  list_->setMinimumHeight(150);

  auto* video_column = new QVBoxLayout;
  video_column->addWidget(video_, 1);
  video_column->addWidget(controls);
  auto* top = new QHBoxLayout;
  top->addWidget(search_panel);
  top->addLayout(video_column, 1);
  outer_ = new QVBoxLayout(this);
  outer_->addLayout(top, 3);
  outer_->addWidget(list_, 1);
  surroundings_ = {search_panel, controls, list_};

  progress_timer_ = new QTimer(this);
  progress_timer_->setInterval(kProgressPeriodMs);

  connect(server_, &QComboBox::currentIndexChanged, this, &CLocalFilePlay::server_chosen);
  connect(search_, &QPushButton::clicked, this, &CLocalFilePlay::OnSearch);
  connect(delete_, &QPushButton::clicked, this, &CLocalFilePlay::OnDelete);
  connect(delete_all_, &QPushButton::clicked, this, &CLocalFilePlay::OnDeleteAll);
  connect(play_, &QPushButton::clicked, this, &CLocalFilePlay::OnPlay);
  connect(stop_, &QPushButton::clicked, this, &CLocalFilePlay::OnStop);
  connect(slow_, &QPushButton::clicked, this, &CLocalFilePlay::OnSlow);
  connect(fast_, &QPushButton::clicked, this, &CLocalFilePlay::OnFast);
  connect(snapshot_, &QPushButton::clicked, this, &CLocalFilePlay::OnSnapshot);
  connect(frame_back_, &QPushButton::clicked, this, &CLocalFilePlay::OnFrameBack);
  connect(frame_forward_, &QPushButton::clicked, this, &CLocalFilePlay::OnFrameForward);
  connect(sound_, &QPushButton::clicked, this, &CLocalFilePlay::OnSound);
  connect(clip_start_, &QPushButton::clicked, this, &CLocalFilePlay::OnClipStart);
  connect(clip_end_, &QPushButton::clicked, this, &CLocalFilePlay::OnClipEnd);
  connect(export_mp4_, &QPushButton::clicked, this, &CLocalFilePlay::OnExportMp4);
  connect(list_, &QTreeWidget::currentItemChanged, this, &CLocalFilePlay::update_export_button);
  connect(progress_, &QSlider::valueChanged, this, &CLocalFilePlay::seek);
  connect(volume_, &QSlider::valueChanged, this, [this](int value) {
    if (file_open_) Play264_SetVolume(kPlayPort, static_cast<DWORD>(value));
  });
  connect(progress_timer_, &QTimer::timeout, this, [this] { update_progress(true); });
  connect(list_, &QTreeWidget::itemDoubleClicked, this, [this] {
    if (!file_open_) OnPlay();
  });
}

void CLocalFilePlay::fill_servers() {
  server_->addItem(tx("请选择ORV"));
  std::lock_guard lock(state_.table_mutex);
  for (const auto& s : state_.servers.servers) {
    if (!s.used()) break;
    server_->addItem(qs(s.name));
  }
  server_->setCurrentIndex(0);
}

void CLocalFilePlay::server_chosen(int item) {
  if (item < 1) return;
  int first = 0, count = 0;
  {
    std::lock_guard lock(state_.table_mutex);
    const auto& s = state_.servers.servers[static_cast<std::size_t>(item - 1)];
    if (!s.used()) return;
    first = std::max(0, s.channels[0].channel_index);
    count = std::clamp(s.channel_count, 0, model::kChannelsPerServer);
  }
  channel_->clear();
  channel_->addItem(tx("全部通道"));
  for (int i = 0; i < count; ++i) channel_->addItem(tx("通道%1").arg(first + i));
  channel_->setCurrentIndex(0);
  first_channel_ = first;
}

model::SearchRequest CLocalFilePlay::read_request(bool& chosen) const {
  model::SearchRequest r;
  const int item = server_->currentIndex();
  chosen = false;
  if (item >= 1 && item - 1 < model::kMaxServers) {
    std::lock_guard lock(state_.table_mutex);
    const auto& s = state_.servers.servers[static_cast<std::size_t>(item - 1)];
    if (s.used()) {
      chosen = true;
      r.key = model::record_key(s.device_id);
    }
  }
  const int channel_item = channel_->currentIndex();
  r.channel = channel_item >= 1 ? first_channel_ + channel_item - 1 : -1;
  r.start = local_time(start_date_->date(), start_time_->time());
  r.end = local_time(end_date_->date(), end_time_->time());
  return r;
}

// ---- search ----

void CLocalFilePlay::OnSearch() {
  if (searching_) {
    // Ends before the next file; the rows found so far are listed.
    cancel_search_ = true;
    search_->setEnabled(false);
    return;
  }
  bool chosen = false;
  const model::SearchRequest request = read_request(chosen);
  const model::SearchStart start =
      model::begin_search(request, chosen, state_.user.rights, messages_);
  if (start == model::SearchStart::kNothing) return;
  // The file shown came from the list that goes now.
  close_file();
  rows_.clear();
  list_->clear();
  set_transport(model::Transport::kInitial);
  if (start == model::SearchStart::kNoServer) return;

  rows_channel_ = request.channel;
  searching_ = true;
  cancel_search_ = false;
  found_ = 0;
  progress_posted_ = false;
  search_->setText(tx("停止查找"));
  status_->setText(tx("正在查找…"));
  apply_controls();
  // The drive list and settings are the GUI thread's; the walk gets copies.
  const model::RecordingDrives drives = state_.drives;
  const model::ClientSettings settings = state_.settings;
  QPointer<CLocalFilePlay> self(this);
  search_thread_.create([this, self, request, drives, settings] {
    auto rows = model::search_recordings(request, drives, settings, &cancel_search_,
                                         [this, self](std::size_t found) {
                                           found_ = found;
                                           // One update waits at a time: the GUI thread reads the
                                           // newest count.
                                           if (progress_posted_.exchange(true)) return;
                                           QMetaObject::invokeMethod(
                                               this,
                                               [self] {
                                                 if (self) self->search_progress();
                                               },
                                               Qt::QueuedConnection);
                                         });
    QMetaObject::invokeMethod(
        this,
        [self, rows = std::move(rows)]() mutable {
          if (self) self->search_done(std::move(rows));
        },
        Qt::QueuedConnection);
  });
  search_thread_.resume();
}

void CLocalFilePlay::search_progress() {
  progress_posted_ = false;
  if (!searching_) return;
  status_->setText(tx("正在查找…已找到%1个文件").arg(found_.load()));
}

void CLocalFilePlay::search_done(std::vector<model::FileRow> rows) {
  search_thread_.join();
  if (!searching_) return;  // the window closed meanwhile
  searching_ = false;
  search_->setText(tx("查找"));
  search_->setEnabled(true);
  status_->clear();
  rows_ = std::move(rows);
  list_rows();
  set_transport(rows_.empty() ? model::Transport::kInitial : model::Transport::kStopped);
  messages_.info(model::kSearchDone);
  emit searchFinished();
}

void CLocalFilePlay::list_rows() {
  list_->clear();
  QList<QTreeWidgetItem*> items;
  items.reserve(static_cast<qsizetype>(rows_.size()));
  for (const auto& r : rows_)
    items.push_back(new QTreeWidgetItem(
        QStringList{qs(r.name), qs(r.channel), tx(r.type), qs(r.start), qs(r.end)}));
  list_->addTopLevelItems(items);
}

void CLocalFilePlay::remove_row(std::size_t row) {
  if (row >= rows_.size()) return;
  delete list_->takeTopLevelItem(static_cast<int>(row));
  rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(row));
}

// ---- deletion ----

bool CLocalFilePlay::remove_file(const fs::path& file) {
  // The file shown is closed first rather than left playing a deleted file.
  if (file_open_ && file == open_path_) close_file();
  return model::remove_listed_file(file);
}

void CLocalFilePlay::OnDelete() {
  const int row = list_->indexOfTopLevelItem(list_->currentItem());
  const model::FileRow* selected = row >= 0 && static_cast<std::size_t>(row) < rows_.size()
                                       ? &rows_[static_cast<std::size_t>(row)]
                                       : nullptr;
  if (model::delete_listed_file(selected, state_.user.rights, messages_,
                                [this](const fs::path& f) { return remove_file(f); }))
    remove_row(static_cast<std::size_t>(row));
  if (rows_.empty() && !file_open_) set_transport(model::Transport::kInitial);
}

void CLocalFilePlay::OnDeleteAll() {
  const auto deleted = model::delete_listed_files(
      rows_, state_.user.rights, messages_, [this](const fs::path& f) { return remove_file(f); });
  for (std::size_t row : deleted) remove_row(row);
  if (rows_.empty() && !file_open_) set_transport(model::Transport::kInitial);
}

// ---- transport ----

void CLocalFilePlay::set_transport(model::Transport state) {
  transport_ = state;
  apply_controls();
}

void CLocalFilePlay::apply_controls() {
  const model::TransportControls c =
      model::transport_controls(transport_, sound_on_, index_ready_, clipping_);
  play_->setEnabled(c.play && !searching_);
  stop_->setEnabled(c.stop);
  slow_->setEnabled(c.slow);
  fast_->setEnabled(c.fast);
  snapshot_->setEnabled(c.snapshot);
  frame_back_->setEnabled(c.frame_back);
  frame_forward_->setEnabled(c.frame_forward);
  sound_->setEnabled(c.sound);
  progress_->setEnabled(c.progress);
  volume_->setEnabled(c.volume);
  clip_start_->setEnabled(c.clip_start);
  clip_end_->setEnabled(c.clip_end);
  play_->setToolTip(tx(c.play_tip));
  play_->setIcon(glyph(transport_ == model::Transport::kPlaying ? Glyph::kPause : Glyph::kPlay));
  sound_->setToolTip(tx(c.sound_tip));
  sound_->setIcon(glyph(sound_on_ ? Glyph::kSoundOn : Glyph::kSoundOff));
  delete_->setEnabled(!searching_);
  delete_all_->setEnabled(!searching_);
  update_export_button();
}

bool CLocalFilePlay::open_selected() {
  const int row = list_->indexOfTopLevelItem(list_->currentItem());
  if (row < 0 || static_cast<std::size_t>(row) >= rows_.size()) {
    messages_.info(model::kChooseFile);
    return false;
  }
  // The index callback says which file it finished: a late one of a file
  // closed before is ignored.
  ++generation_;
  index_ready_ = false;
  Play264_SetFileRefCallBack(kPlayPort, &CLocalFilePlay::fileref_callback,
                             reinterpret_cast<void*>(generation_));
  const fs::path path = rows_[static_cast<std::size_t>(row)].path;
  if (path.empty()) return false;
  // Another file: its picture starts whole.
  video_->ResetZoom();
  naming_ = model::playback_snapshot_naming(platform::u16_from_utf8(path.filename().string()),
                                            rows_channel_);
  if (!Play264_OpenFile(kPlayPort, path.c_str())) return false;
  if (Play264_GetFileTime(kPlayPort) <= 0) {
    Play264_CloseFile(kPlayPort);
    messages_.info(model::kEmptyFile);
    return false;
  }
  Play264_SetDisplayCallBack(kPlayPort, &CLocalFilePlay::display_callback);
  if (!Play264_Play(kPlayPort, video_->Hwnd())) {
    Play264_CloseFile(kPlayPort);
    return false;
  }
  file_open_ = true;
  open_path_ = path;
  paused_ = single_step_ = clipping_ = false;
  last_position_ = 0;
  sound_on_ = true;
  Play264_PlaySound(kPlayPort);
  Play264_SetVolume(kPlayPort, static_cast<DWORD>(volume_->value()));
  set_transport(model::Transport::kPlaying);
  progress_timer_->start();
  return true;
}

void CLocalFilePlay::OnPlay() {
  if (!file_open_) {
    open_selected();
    return;
  }
  if (single_step_) {
    if (Play264_Play(kPlayPort, video_->Hwnd())) {
      single_step_ = false;
      paused_ = false;
      set_transport(model::Transport::kPlaying);
    }
    return;
  }
  if (!Play264_Pause(kPlayPort, paused_ ? 0 : 1)) return;
  paused_ = !paused_;
  set_transport(paused_ ? model::Transport::kPaused : model::Transport::kPlaying);
}

void CLocalFilePlay::close_file() {
  if (!file_open_) return;
  if (enlarged_) set_enlarged(false);
  {
    const QSignalBlocker block(progress_);
    progress_->setValue(0);
  }
  last_position_ = 0;
  status_->clear();
  progress_timer_->stop();
  Play264_Stop(kPlayPort);
  Play264_CloseFile(kPlayPort);
  if (sound_on_) Play264_StopSound(kPlayPort);
  sound_on_ = false;
  file_open_ = false;
  paused_ = single_step_ = clipping_ = index_ready_ = false;
  open_path_.clear();
  {
    PlayerLink& link = player_link();
    std::lock_guard lock(link.m);
    link.snapshot = false;
  }
  video_->Clear();
  set_transport(rows_.empty() ? model::Transport::kInitial : model::Transport::kStopped);
}

void CLocalFilePlay::OnStop() {
  close_file();
}

void CLocalFilePlay::Close() {
  if (exporting_) {
    cancel_export_ = true;
    export_thread_.join();
    end_export();
  }
  if (searching_) {
    cancel_search_ = true;
    search_thread_.join();
    searching_ = false;
    search_->setText(tx("查找"));
    search_->setEnabled(true);
    status_->clear();
    apply_controls();
  }
  close_file();
}

void CLocalFilePlay::OnSlow() {
  if (file_open_) Play264_Slow(kPlayPort);
}

void CLocalFilePlay::OnFast() {
  if (file_open_) Play264_Fast(kPlayPort);
}

void CLocalFilePlay::OnFrameForward() {
  if (!file_open_) return;
  // The step first: un-paused before it, the player would play a frame of its own.
  Play264_OneByOne(kPlayPort);
  if (paused_ && Play264_Pause(kPlayPort, 0)) paused_ = false;
  single_step_ = true;
  set_transport(model::Transport::kSingleStep);
}

void CLocalFilePlay::OnFrameBack() {
  if (!file_open_) return;
  // The step first: un-paused before it, the player would play a frame of its own.
  Play264_OneByOneBack(kPlayPort);
  if (paused_ && Play264_Pause(kPlayPort, 0)) paused_ = false;
  single_step_ = true;
  set_transport(model::Transport::kSingleStep);
}

void CLocalFilePlay::OnSound() {
  if (!file_open_) return;
  if (sound_on_) {
    Play264_StopSound(kPlayPort);
    sound_on_ = false;
  } else {
    Play264_PlaySound(kPlayPort);
    Play264_SetVolume(kPlayPort, static_cast<DWORD>(volume_->value()));
    sound_on_ = true;
  }
  apply_controls();
}

void CLocalFilePlay::update_progress(bool move_slider) {
  if (!file_open_) return;
  const long played = Play264_GetPlayedTime(kPlayPort);
  const long frames = Play264_GetFileTotalFrames(kPlayPort);
  const long length = Play264_GetFileTime(kPlayPort);
  const long current = Play264_GetCurrentFrameNum(kPlayPort);
  status_->setText(qs(model::playback_status(static_cast<int>(current), static_cast<int>(frames),
                                             static_cast<int>(played), static_cast<int>(length))));
  if (!move_slider) return;
  const model::SliderMove m =
      model::progress_slider(static_cast<int>(played), static_cast<int>(length), last_position_);
  if (!m.move) return;
  {
    const QSignalBlocker block(progress_);
    progress_->setValue(m.position);
  }
  last_position_ = m.last;
}

void CLocalFilePlay::seek(int position) {
  if (!file_open_) return;
  const auto percent = model::seek_percent(position, last_position_);
  if (!percent) return;
  Play264_SetPlayPos(kPlayPort, *percent);
  // The player seeks on its own thread: the update at once shows the status
  // and leaves the slider where the operator put it.
  last_position_ = position;
  update_progress(false);
}

// ---- snapshots ----

void CLocalFilePlay::OnSnapshot() {
  if (!file_open_) return;
  const fs::path folder = model::path_from_text(state_.settings.snapshot_folder,
                                                state_.drives.drives, state_.working_folder);
  std::error_code ec;
  fs::create_directories(folder, ec);
  {
    PlayerLink& link = player_link();
    std::lock_guard lock(link.m);
    link.folder = folder;
    link.naming = naming_;
    link.snapshot = true;
  }
  // A paused picture is shown again so that the request is served now.
  if (paused_ || single_step_) Play264_RefreshPlay(kPlayPort);
}

void CLocalFilePlay::display_callback(long port, char* buffer, long size, long width, long height,
                                      long, long type, long) {
  PlayerLink& link = player_link();
  std::lock_guard lock(link.m);
  if (port != kPlayPort || !link.snapshot || !link.page) return;
  link.snapshot = false;
  model::SystemClock clock;
  const auto name = model::snapshot_file_name(link.naming.key, link.naming.channel,
                                              clock.local_now(), platform::tick_ms());
  const fs::path file = link.folder / platform::utf8_from_u16(name);
  const bool ok = Play264_ConvertToBmpFile(buffer, size, width, height, type, file.c_str()) != 0;
  // The page clears the link under the lock before it goes, so it lives here.
  QPointer<CLocalFilePlay> page(link.page);
  QMetaObject::invokeMethod(
      link.page,
      [page, file, ok] {
        if (page) page->snapshot_written(file, ok);
      },
      Qt::QueuedConnection);
}

void CLocalFilePlay::snapshot_written(const fs::path& file, bool ok) {
  if (ok) {
    const std::u16string shown = model::text_from_path(file, state_.drives.drives);
    snapshot_line_->setText(tx("抓图成功 %1!").arg(qs(shown)));
    snapshot_line_->setToolTip(snapshot_line_->text());
  } else {
    snapshot_line_->setText(tx("抓图失败!"));
  }
  emit snapshotTaken(ok);
}

void CLocalFilePlay::fileref_callback(long port, void* user) {
  PlayerLink& link = player_link();
  std::lock_guard lock(link.m);
  if (port != kPlayPort || !link.page) return;
  const auto generation = reinterpret_cast<std::uintptr_t>(user);
  QPointer<CLocalFilePlay> page(link.page);
  QMetaObject::invokeMethod(
      link.page,
      [page, generation] {
        if (page) page->index_ready(generation);
      },
      Qt::QueuedConnection);
}

void CLocalFilePlay::index_ready(std::uintptr_t generation) {
  if (!file_open_ || generation != generation_) return;
  index_ready_ = true;
  apply_controls();
}

// ---- clip ----

void CLocalFilePlay::OnClipStart() {
  if (!file_open_ || clipping_) return;
  // The clip is taken from port 17 itself, not the clipping port 20: port 20
  // answers for whichever file was opened last, which need not be this one.
  clip_start_frame_ = Play264_GetCurrentFrameNum(kPlayPort);
  clipping_ = true;
  apply_controls();
}

QString CLocalFilePlay::choose_save_path(const QString& folder) {
  if (choose_save_path_) return choose_save_path_(this, folder);
  QFileDialog dialog(this, tx("请选择文件的保存路径"), folder,
                     QStringLiteral("264 Files(*.264);;All Files(*.*)"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix(QStringLiteral("264"));
  // The overwrite question is the client's own.
  dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
  dialog.selectFile(QStringLiteral("MyClip"));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().front();
}

void CLocalFilePlay::OnClipEnd() {
  if (!file_open_ || !clipping_) return;
  const fs::path folder =
      model::path_from_text(model::kClipFolder, state_.drives.drives, state_.working_folder);
  std::error_code ec;
  fs::create_directories(folder, ec);
  const QString chosen = choose_save_path(path_text(folder));
  if (chosen.isEmpty()) return;
  const fs::path target(chosen.toStdString());
  if (fs::exists(target, ec) && !messages_.confirm(model::kClipExists, model::kSystemCaption))
    return;
  const long end = Play264_GetCurrentFrameNum(kPlayPort);
  {
    // Copying the frames takes a moment on a long clip.
    QApplication::setOverrideCursor(Qt::WaitCursor);
    // A start after the end (stepped back meanwhile) clips the frames between.
    Play264_ClipMovie(kPlayPort, target.c_str(), std::min(clip_start_frame_, end),
                      std::max(clip_start_frame_, end));
    QApplication::restoreOverrideCursor();
  }
  clipping_ = false;
  apply_controls();
}

// ---- MP4 export ----

namespace {

QString export_message(const exporter::Mp4ExportResult& r, const QString& target) {
  if (!r.ok) return tx("导出失败：%1").arg(tx(r.error.c_str()) + QString::fromStdString(r.detail));
  if (r.skipped_bytes > 0)
    return tx("导出完成：%1（已跳过损坏的数据%2字节）").arg(target).arg(r.skipped_bytes);
  return tx("导出完成：%1").arg(target);
}

}  // namespace

void CLocalFilePlay::update_export_button() {
  const int row = list_->indexOfTopLevelItem(list_->currentItem());
  export_mp4_->setEnabled(!exporting_ && !searching_ && row >= 0 &&
                          static_cast<std::size_t>(row) < rows_.size());
}

QString CLocalFilePlay::choose_export_path(const QString& suggested) {
  if (choose_export_path_) return choose_export_path_(suggested);
  QFileDialog dialog(this, tx("导出MP4"), suggested,
                     QStringLiteral("MP4 Files(*.mp4);;All Files(*.*)"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix(QStringLiteral("mp4"));
  // The overwrite question is the client's own.
  dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().front();
}

void CLocalFilePlay::OnExportMp4() {
  if (exporting_ || searching_) return;
  const int row = list_->indexOfTopLevelItem(list_->currentItem());
  if (row < 0 || static_cast<std::size_t>(row) >= rows_.size()) return;
  const fs::path in = rows_[static_cast<std::size_t>(row)].path;
  fs::path suggested = in;
  suggested.replace_extension(".mp4");
  const QString chosen = choose_export_path(path_text(suggested));
  if (chosen.isEmpty()) return;
  const fs::path out(chosen.toStdString());
  std::error_code ec;
  if (fs::exists(out, ec) && !messages_.confirm(model::kClipExists, model::kSystemCaption)) return;

  exporting_ = true;
  cancel_export_ = false;
  export_fraction_ = 0;
  export_posted_ = false;
  export_target_ = chosen;
  update_export_button();
  auto* progress = new QProgressDialog(tx("正在导出MP4…"), tx("取消"), 0, 1000, this);
  progress->setObjectName(QStringLiteral("exportProgress"));
  progress->setWindowTitle(tx("导出MP4"));
  progress->setWindowModality(Qt::WindowModal);
  progress->setAutoClose(false);
  progress->setAutoReset(false);
  progress->setMinimumDuration(0);
  progress->setMinimumWidth(360);
  connect(progress, &QProgressDialog::canceled, this, [this] {
    // The partial output goes with the thread's end.
    cancel_export_ = true;
    if (export_progress_) export_progress_->setLabelText(tx("正在取消…"));
  });
  export_progress_ = progress;
  progress->show();

  QPointer<CLocalFilePlay> self(this);
  export_thread_.create([this, self, in, out] {
    const exporter::Mp4ExportResult result = exporter::export_mp4(in, out, [this, self](double f) {
      export_fraction_ = f;
      // One update waits at a time: the GUI thread reads the newest fraction.
      if (!export_posted_.exchange(true)) {
        QMetaObject::invokeMethod(
            this,
            [self] {
              if (self) self->export_progress();
            },
            Qt::QueuedConnection);
      }
      return !cancel_export_;
    });
    QMetaObject::invokeMethod(
        this,
        [self, result] {
          if (self) self->export_done(result);
        },
        Qt::QueuedConnection);
  });
  export_thread_.resume();
}

void CLocalFilePlay::export_progress() {
  export_posted_ = false;
  if (exporting_ && export_progress_)
    export_progress_->setValue(static_cast<int>(export_fraction_.load() * 1000));
}

void CLocalFilePlay::end_export() {
  exporting_ = false;
  if (export_progress_) {
    export_progress_->hide();
    export_progress_->deleteLater();
  }
  export_progress_ = nullptr;
  update_export_button();
}

void CLocalFilePlay::export_done(const exporter::Mp4ExportResult& result) {
  export_thread_.join();
  if (!exporting_) return;  // the window closed meanwhile
  const bool cancelled = cancel_export_ && !result.ok;
  end_export();
  // The operator's own cancel needs no message.
  if (!cancelled) messages_.info(u16(export_message(result, export_target_)));
  emit exportFinished(result.ok);
}

// ---- enlarged view ----

void CLocalFilePlay::toggle_enlarged() {
  set_enlarged(!enlarged_);
}

void CLocalFilePlay::set_enlarged(bool enlarged) {
  if (enlarged == enlarged_) return;
  enlarged_ = enlarged;
  for (QWidget* w : surroundings_) w->setVisible(!enlarged);
  const int margin = enlarged ? 0 : 9;
  outer_->setContentsMargins(margin, margin, margin, margin);
  outer_->activate();
  emit enlargedChanged(enlarged);
  if (file_open_) Play264_RefreshPlay(kPlayPort);
}

// ---- the window ----

CPlayBack::CPlayBack(model::ClientState& state, model::MessageSink& messages, QWidget* parent)
    : QDialog(parent) {
  setWindowTitle(tx("回放"));
  tabs_ = new QTabWidget(this);
  tabs_->setObjectName(QStringLiteral("tabs"));
  page_ = new CLocalFilePlay(state, messages);
  tabs_->addTab(page_, tx("本地文件"));
  exit_ = make_dialog_button(this, tx("退出"), "exit");
  exit_->setAutoDefault(false);
  connect(exit_, &QPushButton::clicked, this, &CPlayBack::reject);
  connect(page_, &CLocalFilePlay::enlargedChanged, this, &CPlayBack::set_enlarged);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(exit_);
  outer_ = new QVBoxLayout(this);
  outer_->setContentsMargins(12, 12, 12, 12);
  outer_->addWidget(tabs_, 1);
  outer_->addLayout(buttons);
  resize(sizeHint().expandedTo(QSize(1120, 760)));
}

void CPlayBack::reject() {
  page_->Close();
  QDialog::reject();
}

void CPlayBack::set_enlarged(bool enlarged) {
  exit_->setVisible(!enlarged);
  tabs_->tabBar()->setVisible(!enlarged);
  tabs_->setDocumentMode(enlarged);
  const int margin = enlarged ? 0 : 12;
  outer_->setContentsMargins(margin, margin, margin, margin);
  // The minimum size follows the controls shown before the geometry is set.
  outer_->activate();
  if (enlarged) {
    normal_geometry_ = geometry();
    const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    setGeometry(s->geometry().adjusted(kEnlargedMargin, kEnlargedMargin, -kEnlargedMargin,
                                       -kEnlargedMargin));
  } else if (normal_geometry_.isValid()) {
    setGeometry(normal_geometry_);
  }
}

}  // namespace ui
