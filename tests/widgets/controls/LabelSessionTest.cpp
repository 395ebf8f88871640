// Labels and text views in a real session: line counts, the constraints inside a label, images
// from a loopback server, and markup.

#include "widgets/controls/Label.h"

#include "platform/ui/LayoutConstraint.h"
#include "platform/ui/controls/ImageView.h"
#include "platform/ui/controls/Label.h"
#include "platform/ui/rendering/TreeDump.h"
#include "tests/widgets/containers/ImageSessionFixture.h"
#include "widgets/controls/TextView.h"
#include "widgets/delegating/DelegatingLabel.h"
#include "widgets/delegating/DelegatingView.h"

namespace morvix {
namespace {

using platform::LineBreakMode;
using platform::Value;

class LabelSessionTest : public testing::ImageSessionFixture {
protected:
    std::shared_ptr<Label> label(const char* id) { return widget<Label>(id); }
    int lines(const char* id) { return label(id)->textView()->numberOfLines(); }
    // The label's container with its inner views and constraints, with the inner views named.
    std::string constraints(const char* id)
    {
        auto label = this->label(id);
        label->textView()->setDebugName("text");
        label->imageView()->setDebugName("image");
        std::string dump;
        for (const auto& constraint : label->container()->constraints())
            dump += constraint->describe([](const platform::View* view) { return view ? view->debugName() : std::string("nil"); }) + "\n";
        return dump;
    }
};

TEST_F(LabelSessionTest, LineCountsConstraintsAndTheTextOrImageChoice)
{
    start(R"(["create","l1","zub.widgets.Label",{"parent":"w1","bounds":[10,10,200,60],"text":"one\ntwo\nthree"}],
        ["create","l2","zub.widgets.Label",{"parent":"w1","bounds":[10,80,200,80],"style":["WRAP"],
            "text":"A longer text that wraps between its words at the width of the label"}],
        ["create","l3","zub.widgets.Label",{"parent":"w1","bounds":[10,170,200,30],"maxLines":1,"text":"a\nb","alignment":"center"}],
        ["create","l4","zub.widgets.Label",{"parent":"w1","bounds":[10,210,200,60],"style":["WRAP"],"maxLines":2,
            "alignment":"right","text":"Two lines at most, however long the text grows in the end"}],
        ["create","l5","zub.widgets.Label",{"parent":"w1","bounds":[10,280,200,30],"alignment":"middle"}],
        ["create","l6","zub.widgets.Label",{"parent":"w1","bounds":[10,320,200,60],"alignment":"center","text":"replaced",
            "image":["wide.png",80,30]}])");
    EXPECT_EQ(lines("l1"), 3) << "one line per newline-separated piece";
    EXPECT_EQ(label("l1")->textView()->lineBreakMode(), LineBreakMode::TruncateTail);
    apply(R"(["set","l1",{"text":"a\n"}])");
    EXPECT_EQ(lines("l1"), 2);
    EXPECT_EQ(lines("l2"), 0) << "WRAP without maxLines is unlimited";
    EXPECT_EQ(label("l2")->textView()->lineBreakMode(), LineBreakMode::WordWrap);
    EXPECT_EQ(label("l2")->textView()->preferredMaxLayoutWidth(), 200) << "wraps at the widget's width";
    EXPECT_GT(label("l2")->container()->intrinsicContentSize().height, label("l3")->container()->intrinsicContentSize().height);
    EXPECT_EQ(lines("l3"), 1);
    EXPECT_EQ(lines("l4"), 2);
    apply(R"(["set","l4",{"maxLines":null}])");
    EXPECT_EQ(lines("l4"), 0);

    // Empty: neither view shows, and the container has no natural size.
    auto l5 = label("l5");
    EXPECT_TRUE(l5->textView()->isHidden());
    EXPECT_TRUE(l5->imageView()->isHidden());
    EXPECT_EQ(l5->container()->intrinsicContentSize(),
        (platform::Size { platform::View::kNoIntrinsicMetric, platform::View::kNoIntrinsicMetric }));

    EXPECT_EQ(constraints("l3"), "text.top == l3.top @1000\n"
                                 "text.width == l3.width @1000\n"
                                 "text.centerX == l3.centerX @1000\n"
                                 "image.top == l3.top @1000\n"
                                 "image.centerX == l3.centerX @1000\n");
    EXPECT_EQ(constraints("l4"), "text.top == l4.top @1000\n"
                                 "text.width == l4.width @1000\n"
                                 "text.right == l4.right @1000\n"
                                 "image.top == l4.top @1000\n"
                                 "image.right == l4.right @1000\n");
    EXPECT_EQ(label("l4")->textView()->contentHuggingPriority(platform::LayoutAxis::Vertical), 1000);
    EXPECT_EQ(label("l5")->textView()->textAlignment(), platform::TextAlignment::Left) << "anything else aligns left";

    // The image replaced the text and sized the image view by constraints.
    auto l6 = label("l6");
    EXPECT_EQ(apply(R"(["get","l6","text"])"), std::nullopt);
    EXPECT_TRUE(l6->textView()->isHidden());
    EXPECT_FALSE(l6->imageView()->isHidden());
    EXPECT_EQ(constraints("l6"), "text.top == l6.top @1000\n"
                                 "text.width == l6.width @1000\n"
                                 "text.centerX == l6.centerX @1000\n"
                                 "image.top == l6.top @1000\n"
                                 "image.centerX == l6.centerX @1000\n"
                                 "image.width == 80 @1000\n"
                                 "image.height == 30 @1000\n");
    EXPECT_EQ(l6->imageView()->frame(), (platform::Rect { 60, 0, 80, 30 }));
    EXPECT_EQ(l6->container()->intrinsicContentSize(), (platform::Size { 80, 30 }));

    // A second image replaces the size constraints; a text then replaces the image.
    apply(R"(["set","l6",{"alignment":"right","image":["small.png",50,50]}])");
    ASSERT_TRUE(imagesSettled());
    EXPECT_EQ(l6->imageView()->frame(), (platform::Rect { 150, 0, 50, 50 }));
    apply(R"(["set","l6",{"text":"Text again"}])");
    EXPECT_EQ(apply(R"(["get","l6","image"])"), std::nullopt);
    EXPECT_TRUE(l6->imageView()->isHidden());
    EXPECT_FALSE(l6->imageView()->image());
    EXPECT_EQ(apply(R"(["get","l6","text"])"), Value("Text again"));
    // An image value of fewer than three items clears the image.
    apply(R"(["set","l6",{"image":["small.png",50]}])");
    EXPECT_FALSE(l6->imageView()->image());
    EXPECT_FALSE(l6->textView()->isHidden());
    picture("labels.png");
}

TEST_F(LabelSessionTest, TextViewLinesAlignmentAndMarkup)
{
    start(R"(["create","t1","morvix.TextView",{"parent":"w1","bounds":[10,10,200,60],"maxLines":2,"alignment":"right",
            "text":"A text view shows two lines of this text at most, with an ellipsis at the end"}],
        ["create","t2","morvix.TextView",{"parent":"w1","bounds":[10,80,200,60],"maxLines":1.9,"markupEnabled":true,
            "text":"<b>Bold</b> and plain"}])");
    auto t1 = widget<TextView>("t1")->label();
    EXPECT_EQ(t1->numberOfLines(), 2);
    EXPECT_EQ(t1->lineBreakMode(), LineBreakMode::TruncateTail);
    EXPECT_EQ(t1->textAlignment(), platform::TextAlignment::Right);
    for (const char* limit : { "0", "-3", "null" }) {
        apply((std::string(R"(["set","t1",{"maxLines":)") + limit + "}]").c_str());
        EXPECT_EQ(t1->numberOfLines(), 0) << limit;
        EXPECT_EQ(t1->lineBreakMode(), LineBreakMode::WordWrap) << limit;
    }
    apply(R"(["set","t1",{"alignment":"middle"}])");
    EXPECT_EQ(t1->textAlignment(), platform::TextAlignment::Left);

    // Markup shows bold runs; switched off, the same text shows plain in the label's font.
    auto t2 = widget<TextView>("t2")->label();
    EXPECT_EQ(t2->numberOfLines(), 1);
    EXPECT_EQ(t2->text(), "Bold and plain");
    ASSERT_TRUE(t2->attributedText().attributesAt(0).font);
    EXPECT_TRUE(t2->attributedText().attributesAt(0).font->isBold());
    apply(R"(["set","t2",{"markupEnabled":false,"foreground":[0,0,255]}])");
    EXPECT_EQ(t2->text(), "<b>Bold</b> and plain");
    EXPECT_FALSE(t2->attributedText().attributesAt(0).font->isBold());
    EXPECT_EQ(t2->textColor(), platform::Color::fromRGBA(0, 0, 1));
    apply(R"(["set","t2",{"text":""}])");
    EXPECT_EQ(t2->text(), "");
    EXPECT_EQ(t2->attributedText().runs().size(), 0u) << "no stale runs";
    picture("text-views.png");
}

} // namespace
} // namespace morvix
