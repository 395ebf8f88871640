// Drawing: a canvas whose drawing context paints rectangles, a gradient, arcs, an ellipse,
// text and a picture from the gallery's folder, with finger drawing on; each stroke drawn on it
// is logged to the console. Returns the canvas and its drawing context.
var morvix = require("morvix");

exports.build = function (shell) {
    var canvas = morvix.create("zub.widgets.Canvas", {parent: shell.id, bounds: [16, 16, 288, 300],
        background: [255, 255, 255], data: {clientCanvas: true}});
    var gc = morvix.create("zub.widgets.GC", {parent: canvas.id});
    gc.call("init", {width: 288, height: 300, fillStyle: [0, 0, 0], strokeStyle: [0, 122, 255],
        font: [["DejaVu Sans"], 16, true, false]});
    gc.call("draw", {operations: [
        // Rectangles: a filled one outlined, and one cleared out of it.
        ["fillStyle", [255, 204, 0]], ["lineWidth", 3], ["beginPath"], ["rect", 16, 16, 120, 70], ["fill"], ["stroke"],
        ["clearRect", 56, 36, 40, 30],
        // A gradient from red to green to blue.
        ["createLinearGradient", 152, 0, 272, 0], ["addColorStop", 0, [255, 59, 48]], ["addColorStop", 1, [52, 199, 89]],
        ["addColorStop", 2, [0, 122, 255]], ["fillStyle", "linearGradient"], ["beginPath"], ["rect", 152, 16, 120, 70],
        ["fill"],
        // Arcs: a three-quarter disc and a half circle outlined, both ways round.
        ["fillStyle", [88, 86, 214]], ["beginPath"], ["moveTo", 60, 140], ["arc", 60, 140, 40, 0, 1.5707964, true],
        ["closePath"], ["fill"],
        ["strokeStyle", [255, 59, 48]], ["lineWidth", 4], ["beginPath"], ["arc", 150, 140, 30, 0, 3.1415927, false],
        ["stroke"],
        // An ellipse, turned a little about its own centre.
        ["save"], ["translate", 230, 140], ["fillStyle", [255, 149, 0]], ["beginPath"],
        ["ellipse", 0, 0, 40, 20, 0.4, 0, 6.2831855, false], ["fill"], ["restore"],
        // Text on three lines, the last on the baseline, and outlined text to the right.
        ["fillStyle", [0, 0, 0]], ["textBaseline", "alphabetic"], ["fillText", "Drawn\non the\ndevice", false, true, false, 16, 262],
        ["strokeStyle", [0, 122, 255]], ["lineWidth", 1], ["textAlign", "right"],
        ["strokeText", "&Outline", true, false, false, 272, 262],
        // A picture at its own size and stretched.
        ["drawImage", "images/checker.png", 120, 200], ["drawImage", "images/checker.png", 0, 0, 8, 8, 200, 196, 40, 40],
        // The stroke style finger drawing uses.
        ["strokeStyle", [52, 199, 89]], ["lineWidth", 3], ["lineCap", "round"], ["lineJoin", "round"]
    ]});
    canvas.on("Drawing", function (attributes) {
        console.log("Drawing: " + attributes.drawings);
    });
    return [canvas, gc];
};
