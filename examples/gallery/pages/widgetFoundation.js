// Composites placed every way the layout knows: absolute bounds, percentages, attachments to
// siblings, centring; and looks: opacity, a rotation, a disabled composite, stacking by
// "children" and clipping; a background image from the gallery's folder, a composite that
// answers a tap gesture, and one animated from the start. Returns the composites it made.
var morvix = require("morvix");

function composite(parent, properties) {
    properties.parent = parent.id;
    return morvix.create("zub.widgets.Composite", properties);
}

exports.build = function (shell) {
    var made = [];
    function add(parent, properties) {
        var created = composite(parent, properties);
        made.push(created);
        return created;
    }

    // Absolute bounds: a white card near the top.
    var card = add(shell, {bounds: [16, 20, 288, 180], background: [255, 255, 255]});

    // Percentages: a band from 10 % to 10 % of the card's width, plus 8 points down from the top.
    var band = add(card, {background: [0, 122, 255], layoutData: {left: [10, 0], right: [10, 0], top: 8, height: 24}});

    // Attachments to a sibling: a square under the band, and one to its right.
    var first = add(card, {background: [52, 199, 89], layoutData: {left: 16, top: [band.id, 8], width: 60, height: 60}});
    add(card, {background: [255, 204, 0], layoutData: {left: [first.id, 8], top: [band.id, 8], width: 60, height: 60}});

    // Centring: a strip centred in the card, 8 points above its bottom edge. (On "bottom", [p, o]
    // puts the edge at (100 - p) % of the card's height: [100, 8] would put the strip above it.)
    add(card, {background: [142, 142, 147], layoutData: {centerX: 0, bottom: 8, width: 120, height: 16}});

    // Opacity and a rotation.
    add(shell, {bounds: [16, 216, 136, 60], background: [255, 59, 48], opacity: 0.4});
    add(shell, {bounds: [184, 216, 100, 60], background: [88, 86, 214], transform: {rotation: 0.35}});

    // A disabled composite: faded to 0.7 and deaf to touches.
    add(shell, {bounds: [16, 292, 288, 44], background: [255, 149, 0], enabled: false});

    // Stacking by "children": three overlapping squares, listed back to front.
    var stack = add(shell, {bounds: [16, 352, 140, 120]});
    var back = add(stack, {bounds: [0, 0, 80, 80], background: [0, 122, 255]});
    var middle = add(stack, {bounds: [30, 20, 80, 80], background: [52, 199, 89]});
    var front = add(stack, {bounds: [60, 40, 80, 80], background: [255, 59, 48]});
    stack.set({children: [front.id, middle.id, back.id]});

    // Clipping: a child larger than its composite shows only inside it.
    var frame = add(shell, {bounds: [172, 352, 132, 120], background: [229, 229, 234]});
    add(frame, {bounds: [40, 40, 200, 200], background: [175, 82, 222]});

    // A background image, tiled, read from the gallery's own folder.
    add(shell, {bounds: [16, 488, 88, 64], backgroundImage: ["images/checker.png", 16, 16]});

    // A tap gesture: each tap swaps the composite's colour.
    var colours = [[52, 199, 89], [255, 45, 85]];
    var tapped = 0;
    var button = add(shell, {bounds: [116, 488, 88, 64], background: colours[0]});
    var tap = morvix.create("morvix.GestureRecognizer", {type: "tap", target: button.id});
    tap.on("gesture", function () {
        tapped += 1;
        button.set({background: colours[tapped % 2]});
    });

    // An animation started at load: the square turns and shrinks a little, and stays so.
    var turning = add(shell, {bounds: [216, 488, 88, 64], background: [255, 149, 0]});
    var animation = morvix.create("morvix.Animation", {target: turning.id, duration: 800, easing: "ease-in-out",
        properties: {transform: {rotation: 0.3, scaleX: 0.8, scaleY: 0.8}, opacity: 0.7}});
    animation.call("start");

    return made;
};
