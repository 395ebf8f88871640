// The texts the sample shows.
exports.text = function (presses) {
    if (presses === 0)
        return "Hello, world";
    return "Pressed " + presses + (presses === 1 ? " time" : " times");
};
