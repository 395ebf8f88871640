#pragma once
// Forward declarations of the headless view layer.

namespace morvix::platform {

class ActionSheet;
class Alert;
class AlertView;
class Animator;
class Application;
class BarButtonItem;
class ConstraintSolver;
class Event;
class GestureRecognizer;
class GestureRecognizerDelegate;
class GraphicsContext;
class Image;
class Layer;
class LayoutConstraint;
class LayoutEngine;
class LongPressGestureRecognizer;
class NavigationBar;
class NavigationController;
class NavigationItem;
class PanGestureRecognizer;
class Responder;
class Screen;
class SwipeGestureRecognizer;
class TapGestureRecognizer;
class Toolbar;
class Touch;
class View;
class ViewController;
class Window;

/// Whether a change is animated; taken by the layer's own calls instead of a bare flag.
enum class Animated { No, Yes };

} // namespace morvix::platform
