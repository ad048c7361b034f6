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

// A hotkey binding that can fire: switched on, with a combination.
bool liveHotkey(const CommandBinding& binding) {
    return binding.enabled && binding.trigger.kind == TriggerKind::hotkey &&
           binding.trigger.hotkey.has_value();
}

} // namespace

AppDelegate::AppDelegate(Services services, QObject* parent)
    : QObject(parent), m_services(std::move(services)), m_corners(m_services.desktop.pointer()) {
    m_releaseSettings.setSingleShot(true);
    m_releaseSettings.setInterval(m_services.keepClosedSettings);
    connect(&m_releaseSettings, &QTimer::timeout, this, &AppDelegate::releaseSettings);
}

AppDelegate::~AppDelegate() {
    // The desktop outlives us and must not call back.
    if (GlobalShortcuts* shortcuts = m_services.desktop.globalShortcuts()) {
        shortcuts->setHandlers({});
    }
}

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
    if (GlobalShortcuts* shortcuts = m_services.desktop.globalShortcuts()) {
        shortcuts->setHandlers({
            [self](const std::string& id) {
                if (self) {
                    self->shortcutActivated(id);
                }
            },
            [self](const std::vector<ShortcutAssignment>& assignments) {
                if (self) {
                    self->shortcutsAssigned(assignments);
                }
            },
            [self](const std::string& reason) {
                if (self) {
                    self->shortcutsUnavailable(reason);
                }
            },
        });
    }
    // The triggers first: the tray and its fonts take longer than the grabs.
    if (!m_services.desktopCorners) {
        m_corners.start();
    }
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
    if (m_services.desktopCorners) {
        std::vector<ScreenCorner> corners;
        for (const CommandBinding& binding : cfg.bindings) {
            if (cfg.globalEnabled && binding.enabled &&
                binding.trigger.kind == TriggerKind::corner && binding.trigger.corner) {
                corners.push_back(*binding.trigger.corner);
            }
        }
        m_services.desktopCorners(std::move(corners));
    }
    if (GlobalShortcuts* shortcuts = m_services.desktop.globalShortcuts()) {
        bindShortcuts(*shortcuts);
    } else {
        registerHotkeys();
    }
    rebuildMenu();
}

void AppDelegate::registerHotkeys() {
    const AppConfig& cfg = m_services.model.config();
    m_services.hotkeys.clearAll();
    std::vector<HotkeyConflict> conflicts(cfg.bindings.size());
    // While a hotkey is being recorded our own grabs stay off, so that even a
    // combination already bound can be recorded rather than fired.
    if (cfg.globalEnabled && !m_recording) {
        for (std::size_t row = 0; row < cfg.bindings.size(); ++row) {
            const CommandBinding& binding = cfg.bindings[row];
            if (!liveHotkey(binding)) {
                continue;
            }
            const HotkeyCombo& combo = *binding.trigger.hotkey;
            const auto refusal = m_services.hotkeys.registerHotkey(
                combo, [self = QPointer<AppDelegate>(this), id = binding.id.toString(),
                        command = binding.command] {
                    if (self) {
                        self->runHotkey(id, command);
                    }
                });
            const auto first = std::find_if(
                cfg.bindings.begin(), cfg.bindings.begin() + static_cast<std::ptrdiff_t>(row),
                [&](const CommandBinding& other) {
                    return liveHotkey(other) && other.trigger.hotkey->keyCode == combo.keyCode &&
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
}

// The desktop keeps the keys and decides which one each shortcut gets. It is
// asked only when what we ask changes: each request may show its user a dialog.
void AppDelegate::bindShortcuts(GlobalShortcuts& shortcuts) {
    const AppConfig& cfg = m_services.model.config();
    std::vector<ShortcutRequest> requests;
    std::map<std::string, BoundShortcut> bound;
    // None while the switch is off, so that the keys reach the programs under
    // them again, as on X11. Recording changes nothing here: every new set may
    // bring up the desktop's dialog, so activations are dropped instead.
    if (cfg.globalEnabled) {
        for (const CommandBinding& binding : cfg.bindings) {
            // A shortcut per id: a hand-edited file may give two bindings one.
            std::string id = binding.id.toString();
            if (liveHotkey(binding) &&
                bound.emplace(id, BoundShortcut{binding.name, binding.command}).second) {
                const HotkeyCombo& combo = *binding.trigger.hotkey;
                requests.push_back({std::move(id), binding.name,
                                    m_services.shortcutTrigger ? m_services.shortcutTrigger(combo)
                                                               : std::string()});
            }
        }
    }
    m_bound = std::move(bound);
    // The cards keep what they said while recording, as the log does.
    if (!m_recording) {
        std::erase_if(m_assigned,
                      [this](const auto& entry) { return !m_bound.contains(entry.first); });
        m_services.model.setHotkeyConflicts({});
        const auto state = m_services.model.desktopShortcuts().state;
        showShortcuts(state == DesktopShortcuts::State::notUsed ? DesktopShortcuts::State::used
                                                                : state);
    }
    if (requests != m_requested) {
        m_requested = requests;
        shortcuts.bind(std::move(requests));
    }
}

// A hotkey fired, on any desktop: its command runs in the background and
// says in the log how it went.
void AppDelegate::runHotkey(const std::string& id, const std::string& command) {
    LogSink& log = m_services.log;
    CommandRunner::runAsync(command, m_services.mainQueue,
                            [command, &log](const CommandResult& result) {
                                log.write(runLogLine("hotkey", command, result.ok));
                            });
    emit triggered(QString::fromStdString(id));
}

// Only what the last reload bound runs: not a binding switched off since,
// nor anything while the switch is off or a hotkey is being recorded.
void AppDelegate::shortcutActivated(const std::string& id) {
    if (m_recording) {
        return;
    }
    if (const auto bound = m_bound.find(id); bound != m_bound.end()) {
        runHotkey(id, bound->second.command);
    }
}

void AppDelegate::shortcutsAssigned(const std::vector<ShortcutAssignment>& assignments) {
    for (const ShortcutAssignment& assignment : assignments) {
        const auto bound = m_bound.find(assignment.id);
        if (bound == m_bound.end()) {
            continue;
        }
        const auto [known, added] = m_assigned.try_emplace(assignment.id, assignment.trigger);
        if (!added && known->second == assignment.trigger) {
            continue;
        }
        known->second = assignment.trigger;
        const std::string name = "\"" + bound->second.name + "\"";
        m_services.log.write(assignment.trigger.empty()
                                 ? "Tarnwick: the desktop assigned no key to " + name
                                 : "Tarnwick: the desktop assigned " + assignment.trigger + " to " +
                                       name);
    }
    showShortcuts(DesktopShortcuts::State::used);
}

void AppDelegate::shortcutsUnavailable(const std::string& reason) {
    m_services.log.write("Tarnwick: " + reason);
    showShortcuts(DesktopShortcuts::State::unavailable);
}

void AppDelegate::showShortcuts(DesktopShortcuts::State state) {
    m_services.model.setDesktopShortcuts({state, m_assigned});
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
                    log.write(
                        runLogLine("corner " + std::string(label(corner)), command, result.ok));
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
        m_settingsWindow = m_services.makeSettings(
            SettingsPanel::Services{m_services.model, m_services.mainQueue,
                                    m_services.desktop.keys(), m_services.desktop.windowEffects(),
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
