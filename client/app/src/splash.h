// COrvClnInit: the borderless splash shown while the desk builds itself.
#pragma once

#include <QPixmap>
#include <QWidget>

#include <filesystem>

class COrvClnInit : public QWidget {
  Q_OBJECT

 public:
  explicit COrvClnInit(const std::filesystem::path& working_folder, QWidget* parent = nullptr);
  bool HasBitmap() const { return !bitmap_.isNull(); }

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  QPixmap bitmap_;
};
