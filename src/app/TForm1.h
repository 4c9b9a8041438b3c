#pragma once

#include <QWidget>

#include <string>

class QLabel;

namespace trelvo {

// The main window. For now it shows the empty status; the dictionary, the grid
// and the tool bar join it in later steps.
class TForm1 : public QWidget {
    Q_OBJECT
public:
    explicit TForm1(const std::string& programDir, QWidget* parent = nullptr);

private:
    std::string programDir_;
    QLabel* status_ = nullptr;
};

}  // namespace trelvo
