#include "app/AppDelegate.h"

#include "app/Logging.h"

#include "config/ConfigStore.h"
#include "runner/CommandRunner.h"
#include "services/DesktopBackend.h"
#include "services/LogSink.h"
#include "settings/AppModel.h"
#include "triggers/HotkeyManager.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QIcon>
#include <QImageReader>
#include <QKeyEvent>
#include <QMenu>
#include <QPalette>
#include <QPixmap>
#include <QPointer>
#include <QSystemTrayIcon>

#include <algorithm>
#include <malloc.h>

namespace tarnwick {

Q_LOGGING_CATEGORY(lcApp, "tarnwick.app", QtWarningMsg)

namespace {

// The settings window's colours (Theme.qml): Qt 6.4 cannot tell whether the
// desktop is light or dark, so the menu takes the window's dark palette
// rather than ever disagreeing with it.
QPalette menuPalette() {
    const QColor window(0x1c, 0x1c, 0x21);
    const QColor text(0xf2, 0xf2, 0xf7);
    QPalette palette(QColor(0x3a, 0x3a, 0x42), window);
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        palette.setColor(role, text);
        palette.setColor(QPalette::Disabled, role, QColor(0xa2, 0xa2, 0xa8));
    }
    palette.setColor(QPalette::Base, QColor(0x2a, 0x2a, 0x31));
    palette.setColor(QPalette::Highlight, QColor(0x79, 0x39, 0x99));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    return palette;
}

} // namespace

AppDelegate::AppDelegate(Services services, QObject* parent)
    : QObject(parent), m_services(std::move(services)), m_corners(m_services.desktop.pointer()) {
    m_releaseSettings.setSingleShot(true);
    m_releaseSettings.setInterval(m_services.keepClosedSettings);
    connect(&m_releaseSettings, &QTimer::timeout, this, &AppDelegate::releaseSettings);
}

AppDelegate::~AppDelegate() = default;

void AppDelegate::applicationDidFinishLaunching() {
    const auto problem = m_services.store.load();
    m_services.model.setConfig(m_services.store.config);
    QPointer<AppDelegate> self(this);
    m_services.model.onChange = [self] {
        if (self) {
            self->reload();
        }
    };
    m_services.model.onSaveFailed = [self](const std::string& reason) {
        if (self) {
            self->reportProblem("Settings could not be saved: " + reason);
        }
    };
    m_corners.onCorner = [self](ScreenCorner corner) {
        if (self) {
            self->handleCorner(corner);
        }
    };
    // The triggers first: the tray and its fonts take longer than the grabs.
    m_corners.start();
    reload();
    createStatusItem();
    if (problem) {
        reportProblem(problem->message);
    }
}

void AppDelegate::reload() {
    const AppConfig& cfg = m_services.model.config();
    m_corners.enabled = cfg.globalEnabled;
    m_corners.sensitivity = cfg.cornerSensitivity;
    m_services.hotkeys.clearAll();
    const auto live = [](const CommandBinding& binding) {
        return binding.enabled && binding.trigger.kind == TriggerKind::hotkey &&
               binding.trigger.hotkey.has_value();
    };
    std::vector<HotkeyConflict> conflicts(cfg.bindings.size());
    // While a hotkey is being recorded our own grabs stay off, so that even a
    // combination already bound can be recorded rather than fired.
    if (cfg.globalEnabled && !m_recording) {
        for (std::size_t row = 0; row < cfg.bindings.size(); ++row) {
            const CommandBinding& binding = cfg.bindings[row];
            if (!live(binding)) {
                continue;
            }
            const HotkeyCombo& combo = *binding.trigger.hotkey;
            const auto refusal = m_services.hotkeys.registerHotkey(
                combo,
                [self = QPointer<AppDelegate>(this), id = binding.id, command = binding.command,
                 &queue = m_services.mainQueue, &log = m_services.log] {
                    CommandRunner::runAsync(command, queue,
                                            [command, &log](const CommandResult& result) {
                                                log.write(runLogLine("hotkey", command, result.ok));
                                            });
                    if (self) {
                        emit self->triggered(QString::fromStdString(id.toString()));
                    }
                });
            const auto first = std::find_if(
                cfg.bindings.begin(), cfg.bindings.begin() + static_cast<std::ptrdiff_t>(row),
                [&](const CommandBinding& other) {
                    return live(other) && other.trigger.hotkey->keyCode == combo.keyCode &&
                           other.trigger.hotkey->modifiers == combo.modifiers;
                });
            if (refusal) {
                conflicts[row].kind = refusal->status == HotkeyRefusal::taken
                                          ? HotkeyConflict::Kind::taken
                                          : HotkeyConflict::Kind::refused;
            } else if (first != cfg.bindings.begin() + static_cast<std::ptrdiff_t>(row)) {
                conflicts[row] = {HotkeyConflict::Kind::shared, first->name};
            }
        }
    }
    // Nothing is registered while recording: the cards keep what they said.
    if (!m_recording) {
        m_services.model.setHotkeyConflicts(std::move(conflicts));
    }
    rebuildMenu();
}

void AppDelegate::handleCorner(ScreenCorner corner) {
    const AppConfig& cfg = m_services.model.config();
    if (!cfg.globalEnabled || cfg.bindings.empty()) {
        return;
    }
    for (const CommandBinding& binding : cfg.bindings) {
        if (binding.enabled && binding.trigger.kind == TriggerKind::corner &&
            binding.trigger.corner == corner) {
            LogSink& log = m_services.log;
            CommandRunner::runAsync(
                binding.command, m_services.mainQueue,
                [corner, command = binding.command, &log](const CommandResult& result) {
                    log.write(runLogLine("corner " + std::string(label(corner)), command, result.ok));
                });
            emit triggered(QString::fromStdString(binding.id.toString()));
        }
    }
}

// Said twice: in the log, and where the user will see it.
void AppDelegate::reportProblem(const std::string& message) {
    m_services.log.write("Tarnwick: " + message);
    m_statusItem->showMessage(QStringLiteral("Tarnwick"), QString::fromStdString(message),
                              QSystemTrayIcon::Warning);
}

void AppDelegate::createStatusItem() {
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        // Qt shows the icon once a tray appears; until then only a second start
        // brings the settings window up.
        qCDebug(lcApp) << "no system tray yet";
    }
    m_statusItem = std::make_unique<QSystemTrayIcon>();
    // Drawn at build time, one PNG per size, and read as PNG outright:
    // asked to guess a file's format, Qt loads every image plugin it has.
    QIcon icon;
    const QDir icons(QStringLiteral(":/tarnwick/icons"));
    for (const QString& file : icons.entryList(QDir::Files)) {
        QImageReader reader(icons.filePath(file), "png");
        reader.setAutoDetectImageFormat(false);
        icon.addPixmap(QPixmap::fromImage(reader.read()));
    }
    m_statusItem->setIcon(icon);
    m_statusItem->setToolTip(QStringLiteral("Tarnwick"));
    // A left click shows the menu a right click shows; a middle click nothing.
    connect(m_statusItem.get(), &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger) {
                    showMenu();
                }
            });
    m_statusItem->show();
    m_statusItem->setContextMenu(m_menu.get());
}

// WORKAROUND: Qt 6.4's StatusNotifierItem exporter keeps using a context
// menu after it has been replaced, and crashes on the next D-Bus call. So
// the menu is made once and brought up to date on every reload instead.
void AppDelegate::rebuildMenu() {
    if (!m_menu) {
        m_menu.reset(new QMenu());
        m_menu->setPalette(menuPalette());
        // A menu of its own takes no shortcuts of its actions: its keys are read here.
        m_menu->installEventFilter(this);
        m_menu->addAction(QStringLiteral("Tarnwick"))->setEnabled(false);
        m_menu->addSeparator();
        m_switchAction = m_menu->addAction(QString());
        connect(m_switchAction, &QAction::triggered, this, &AppDelegate::toggleEnabled);
        m_settingsAction = m_menu->addAction(QStringLiteral("Settings\u2026"));
        m_settingsAction->setShortcut(QKeySequence(QStringLiteral("Ctrl+,")));
        m_settingsAction->setShortcutVisibleInContextMenu(true);
        connect(m_settingsAction, &QAction::triggered, this, &AppDelegate::openSettings);
        m_menu->addSeparator();
        m_quitAction = m_menu->addAction(QStringLiteral("Quit Tarnwick"));
        m_quitAction->setShortcut(QKeySequence(QStringLiteral("Ctrl+Q")));
        m_quitAction->setShortcutVisibleInContextMenu(true);
        connect(m_quitAction, &QAction::triggered, qApp, &QCoreApplication::quit,
                Qt::QueuedConnection);
    }
    // The item names what choosing it will do.
    m_switchAction->setText(m_services.model.config().globalEnabled
                                ? QStringLiteral("Disable Triggers")
                                : QStringLiteral("Enable Triggers"));
}

void AppDelegate::showMenu() {
    // At the icon where the tray says where it is; an SNI host does not, but
    // the pointer is on the icon it clicked.
    const QRect icon = m_statusItem->geometry();
    m_menu->popup(icon.isValid() ? icon.bottomLeft() : QCursor::pos());
}

// The keys the menu shows, Ctrl+, and Ctrl+Q, with or without Ctrl.
bool AppDelegate::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_menu.get() && event->type() == QEvent::KeyPress) {
        const auto& key = static_cast<const QKeyEvent&>(*event);
        const Qt::KeyboardModifiers modifiers = key.modifiers() & ~Qt::KeypadModifier;
        QAction* chosen = key.key() == Qt::Key_Comma ? m_settingsAction
                          : key.key() == Qt::Key_Q   ? m_quitAction
                                                     : nullptr;
        if (chosen != nullptr &&
            (modifiers == Qt::NoModifier || modifiers == Qt::ControlModifier)) {
            m_menu->hide();
            chosen->trigger();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

void AppDelegate::toggleEnabled() {
    m_services.model.setGlobalEnabled(!m_services.model.config().globalEnabled);
    m_services.model.persist();
}

void AppDelegate::openSettings() {
    m_releaseSettings.stop();
    if (!m_settingsWindow) {
        // The window, and the recorder in it, live no longer than this delegate.
        m_settingsWindow = m_services.makeSettings(SettingsPanel::Services{
            m_services.model, m_services.mainQueue, m_services.desktop.keys(),
            m_services.desktop.windowEffects(),
            // Our own grabs would take the very combination being recorded.
            [this](bool recording) {
                m_recording = recording;
                reload();
            },
            [this] { m_releaseSettings.start(); }});
        if (!m_settingsWindow) {
            return;
        }
    }
    m_settingsWindow->present();
}

// A window closed for a while goes with its QML engine, and the heap gives
// the memory back; opening it again makes a new one.
void AppDelegate::releaseSettings() {
    m_settingsWindow.reset();
    ::malloc_trim(0);
}

} // namespace tarnwick
