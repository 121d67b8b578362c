"""The host's channels: the methods the interface calls, with their argument
names, and the events the host sends. Completion and call parsing read this
one table."""

CHANNELS = {
    "window": ("kestrune/window", {
        "setTopCenter": [], "positionTopCenter": ["topOffset", "width"],
        "setCenterScreen": [], "setDesktopBounds": [], "setLayered": [],
        "setClickThrough": ["enabled"], "getCursorPos": [], "getWindowPos": [],
        "bringToForeground": [], "setWindowSize": ["w", "h"],
        "setWindowBounds": ["x", "y", "w", "h"], "setWindowRegion": ["x", "y", "w", "h"],
        "setWindowRoundedCorners": ["radius"], "setBlurGuard": ["ms"],
        "setBlurHide": ["enabled"], "setAlwaysOnTop": ["onTop"],
        "setWindowOpacity": ["opacity"], "setTrayVisible": ["visible"],
        "setMaterial": ["material"], "hideOffScreen": [], "showFromIdle": [],
        "showCapsuleBar": [], "showLineWindow": [], "hideLineWindow": [],
        "showCapsuleWindow": ["type", "json", "title", "artist", "progress", "playing",
                              "text", "success", "duration"],
        "hideCapsuleWindow": [], "sendCapsuleCommand": ["json"], "startCalendarSync": [],
        "getCalendarAppointments": [], "showTrayMenu": [],
    }, []),
    "hitregion": ("kestrune/hitregion", {"set": ["x", "y", "w", "h"]}, []),
    "hotkey": ("kestrune/hotkey", {
        "set_voice_listening": ["enabled"], "set_card_expanded": ["expanded"],
        "reRegisterHotkey": ["id", "combo"],
    }, ["toggle_capsule", "show_main", "quit", "space_down", "space_up", "voice_mode",
        "esc_collapse", "close_tag", "screenshot", "clipboard", "ai", "select_on",
        "capsule.button_click", "capsule.voice_off", "capsule.voice_tts", "capsule.todo",
        "tray_show_main"]),
    "icon": ("kestrune/icon", {"extractAppIcons": [], "extractFileIcons": []}, []),
    "smtc": ("kestrune/smtc", {
        "startSmtcListener": [], "stopSmtcListener": [], "play_pause": [], "prev": [],
        "next": [], "play": [], "pause": [],
    }, ["smtc.track_change", "smtc.playback", "smtc.progress"]),
    "system_monitor": ("kestrune/system_monitor", {
        "startSystemMonitor": [], "stopSystemMonitor": [], "getSystemSnapshot": [],
        "getSystemHistory": ["minutes"],
    }, ["system.snapshot"]),
    "wechat": ("kestrune/wechat", {"startWechatListener": [], "stopWechatListener": []},
               ["wechat.notification"]),
}

# The engine stand-in's own channel; "quit" closes the main window.
INTROSPECT = "kr_embedder/introspect"
SHORT_NAMES = {full: short for short, (full, _, _) in CHANNELS.items()}
ROLES = ("main", "capsule")


def split_target(text):
    """"[role:]channel.method" as (role or None, full channel name or None, method).

    The channel is one of the table's short names, or a full name with a slash
    ("kr_embedder/introspect.echo"); without one, only the method is named."""
    role = None
    for name in ROLES:
        if text.startswith(name + ":"):
            role, text = name, text[len(name) + 1:]
    head, dot, rest = text.partition(".")
    if dot and head in CHANNELS:
        return role, CHANNELS[head][0], rest
    if "/" in head and dot:
        return role, head, rest
    return role, None, text


def describe(channel):
    return SHORT_NAMES.get(channel, channel)


def completions(text):
    """Words that complete |text| at the start of a line."""
    role = next((r + ":" for r in ROLES if text.startswith(r + ":")), "")
    rest = text[len(role):]
    words = []
    if "." not in rest:
        words = [name + "." for name in CHANNELS]
        if not role:
            words += [r + ":" for r in ROLES]
    else:
        head = rest.split(".", 1)[0]
        if head in CHANNELS:
            words = [f"{head}.{method}" for method in CHANNELS[head][1]]
    return [role + w for w in words if (role + w).startswith(text)]


def event_names():
    return sorted({e for _, _, events in CHANNELS.values() for e in events})


def argument_names(target):
    _, channel, method = split_target(target)
    short = SHORT_NAMES.get(channel)
    return CHANNELS[short][1].get(method, []) if short else []
