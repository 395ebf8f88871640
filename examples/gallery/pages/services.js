// Device and application services: what the peer asks of the device and the application.
// Returns the widgets it made.
var morvix = require("morvix");

exports.build = function (shell) {
    var made = [];
    function create(type, properties) {
        var created = morvix.create(type, properties);
        made.push(created);
        return created;
    }

    return made;
};
