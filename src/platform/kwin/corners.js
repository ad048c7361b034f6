// Tarnwick's hot corners on KWin. Tarnwick loads this script at run time with
// the corners it needs filled in below, and unloads it when it quits. KWin
// decides when a corner fires (its screen edge settings); the script only
// tells Tarnwick which one, over D-Bus.
function enter(corner) {
    return function () {
        callDBus("@SERVICE@", "@PATH@", "@INTERFACE@", "CornerEntered", corner);
        return true;
    };
}

@CORNERS@
