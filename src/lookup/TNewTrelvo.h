#pragma once

#include <QDialog>

namespace trelvo {

// Created once at start and kept hidden between uses; its controls come with
// the command that shows it.
class TNewTrelvo : public QDialog {
    Q_OBJECT
public:
    explicit TNewTrelvo(QWidget* parent = nullptr);
};

}  // namespace trelvo
