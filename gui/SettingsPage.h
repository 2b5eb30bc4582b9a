#pragma once

#include <QWidget>
#include <string>

#include "shell/Settings.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QRadioButton;

namespace quillon::gui {

class Dialogs;

// The page "配置": the group "宝贝采集设置". Its controls are the live
// settings: every change is copied into the shared Settings at once, where
// the workers read it at the moment of use. descFailMode and
// assistantVersion change only on load and "保存配置".
class SettingsPage : public QWidget {
    Q_OBJECT

  public:
    SettingsPage(shell::Settings& settings, Dialogs& dialogs, QWidget* parent = nullptr);

    // Reads the options file into the settings and the controls (start-up).
    void load(const std::string& profilePath);

    // "保存配置": writes the controls to the options file given to load(),
    // then the message of the outcome.
    void save();

  private:
    void buildControls();
    void showValues(const shell::SettingsValues& values);
    void storeControls(); // controls -> Settings

    shell::Settings& m_settings;
    Dialogs& m_dialogs;
    std::string m_profilePath;
    bool m_showing = false; // showValues in progress: no copying back

    QCheckBox* m_downloadDescPictures = nullptr;
    QCheckBox* m_descTaobaoOnly = nullptr;
    QComboBox* m_descFailMode = nullptr;
    QCheckBox* m_priceAdjust = nullptr;
    QLineEdit* m_pricePercent = nullptr;
    QLineEdit* m_priceDecimals = nullptr;
    QCheckBox* m_stockUniform = nullptr;
    QLineEdit* m_stockValue = nullptr;
    QLineEdit* m_replaceFrom[3] = {};
    QLineEdit* m_replaceTo[3] = {};
    QRadioButton* m_version4 = nullptr;
    QRadioButton* m_version5 = nullptr;
};

} // namespace quillon::gui
