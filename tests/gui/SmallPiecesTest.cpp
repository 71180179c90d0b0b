#include "PolygonStorageNode.h"
#include "QtTestApplication.h"
#include "TFGLForm.h"
#include "TextConversion.h"
#include "UserDialogs.h"
#include "WindowTiling.h"
#include "support/TestMeshes.h"

#include <gtest/gtest.h>

#include <string>

TEST(TextConversion, NumbersAndTheirMessages) {
  EXPECT_EQ(TextConversion::toInteger(QStringLiteral("100000")), 100000);
  EXPECT_EQ(TextConversion::toInteger(QStringLiteral("-5")), -5);
  EXPECT_EQ(TextConversion::toInteger(QStringLiteral("0")), 0);
  EXPECT_FLOAT_EQ(TextConversion::toFloat(QStringLiteral("0.3")), 0.3f);
  EXPECT_FLOAT_EQ(TextConversion::toFloat(QStringLiteral("-1")), -1.0f);
  EXPECT_FLOAT_EQ(TextConversion::toFloat(QStringLiteral("2")), 2.0f);
  EXPECT_FLOAT_EQ(TextConversion::toFloat(QStringLiteral("1e-3")), 0.001f);
  struct Bad {
    bool Integer;
    const char* Text;
  };
  const Bad bad[] = {{true, "abc"},         {true, ""},     {true, "1.5"},  {true, "12abc"},
                     {true, "99999999999"}, {false, "abc"}, {false, ""},    {false, "0,5"},
                     {false, "nan"},        {false, "inf"}, {false, "1e60"}};
  for (const Bad& b : bad) {
    try {
      if (b.Integer)
        TextConversion::toInteger(QString::fromLatin1(b.Text));
      else
        TextConversion::toFloat(QString::fromLatin1(b.Text));
      ADD_FAILURE() << "accepted '" << b.Text << "'";
    } catch (const ConversionError& error) {
      EXPECT_EQ(std::string(error.what()), "'" + std::string(b.Text) + "' is not a valid " +
                                               (b.Integer ? "integer value" : "floating point value"));
    }
  }
}

TEST(TextConversion, FourSignificantDigits) {
  EXPECT_EQ(TextConversion::formatGeneral4(0.3f), QStringLiteral("0.3")) << "the float nearest 0.3 shows as 0.3";
  EXPECT_EQ(TextConversion::formatGeneral4(0.123456f), QStringLiteral("0.1235"));
  EXPECT_EQ(TextConversion::formatGeneral4(2.0f), QStringLiteral("2"));
  EXPECT_EQ(TextConversion::formatGeneral4(-1.0f), QStringLiteral("-1"));
  // What the box shows converts back.
  EXPECT_FLOAT_EQ(TextConversion::toFloat(TextConversion::formatGeneral4(12345.0f)), 12350.0f);
}

// Halves round toward zero on odd sizes.
TEST(WindowTiling, WorkAreas) {
  const WindowTiling hd = WindowTiling::forWorkArea(1920, 1040);
  EXPECT_EQ(hd.mainWindow, QRect(0, 0, 960, 1040));
  EXPECT_EQ(hd.inputView, QRect(960, 0, 960, 520));
  EXPECT_EQ(hd.outputView, QRect(960, 520, 960, 520));
  const WindowTiling odd = WindowTiling::forWorkArea(1367, 767);
  EXPECT_EQ(odd.mainWindow, QRect(0, 0, 683, 767));
  EXPECT_EQ(odd.inputView, QRect(683, 0, 683, 383));
  EXPECT_EQ(odd.outputView, QRect(683, 383, 683, 383));
}

TEST(PolygonStorageNode, FaceThinningStep) {
  EXPECT_EQ(PolygonStorageNode::faceStep(0), 1);
  EXPECT_EQ(PolygonStorageNode::faceStep(4999), 1);
  EXPECT_EQ(PolygonStorageNode::faceStep(5000), 2);
  EXPECT_EQ(PolygonStorageNode::faceStep(9999), 2);
  EXPECT_EQ(PolygonStorageNode::faceStep(10000), 3);
  EXPECT_EQ(PolygonStorageNode::faceStep(14999), 3);
  EXPECT_EQ(PolygonStorageNode::faceStep(15000), 4);
  // At most about 5000 faces while dragging.
  for (std::size_t n : {1u, 4999u, 5000u, 7777u, 10000u, 123456u, 1000000u}) {
    const std::size_t step = static_cast<std::size_t>(PolygonStorageNode::faceStep(n));
    const std::size_t drawn = (n + step - 1) / step;
    EXPECT_LE(drawn, 5000u) << n << " polygons";
  }
}

TEST(PolygonStorageNode, ZeroLineThicknessDrawsWidthOne) {
  EXPECT_EQ(PolygonStorageNode::effectiveLineWidth(0.0f), 1.0f) << "thickness 0 still draws";
  EXPECT_EQ(PolygonStorageNode::effectiveLineWidth(3.0f), 3.0f);
}

TEST(PolygonStorageNode, BoundsCoverTheUsedVerticesAsDrawn) {
  PolygonStorage mesh;
  testmeshes::build(mesh, testmeshes::cube(2.0f, 4.0f));
  mesh.addVertex(Vertex{});  // a pass leaves vertices no polygon uses (at the origin, say)
  PolygonStorageNode node;
  node.setStorage(&mesh);
  node.scale = vec3(1.0f, 2.0f, 1.0f);
  vec3 lo, hi;
  ASSERT_TRUE(node.bounds(lo, hi));
  EXPECT_EQ(lo[0], 2.0f) << "the unused vertex is not framed";
  EXPECT_EQ(hi[1], 8.0f) << "scaled as drawn";
}

TEST(UserDialogs, FilterPairsBecomeNameFilters) {
  const QStringList filters = QtUserDialogs::nameFilters(QStringLiteral("*.pc|*.pc|*.obj|*.obj|*.ply|*.ply"));
  ASSERT_EQ(filters.size(), 3);
  EXPECT_EQ(filters[0], QStringLiteral("*.pc (*.pc)"));
  EXPECT_EQ(filters[1], QStringLiteral("*.obj (*.obj)"));
  EXPECT_EQ(filters[2], QStringLiteral("*.ply (*.ply)"));
}

TEST(TFGLForm, ModifiersChooseModeAndStep) {
  EXPECT_EQ(TFGLForm::dragMode(Qt::NoModifier), 0);
  EXPECT_EQ(TFGLForm::dragMode(Qt::ShiftModifier), 1);
  EXPECT_EQ(TFGLForm::dragMode(Qt::ControlModifier), 2);
  EXPECT_EQ(TFGLForm::dragMode(Qt::AltModifier), 3);
  EXPECT_EQ(TFGLForm::dragMode(Qt::ShiftModifier | Qt::ControlModifier), 2) << "the last test that holds wins";
  EXPECT_EQ(TFGLForm::dragMode(Qt::ControlModifier | Qt::AltModifier), 3);
  EXPECT_FLOAT_EQ(TFGLForm::wheelStep(Qt::NoModifier), 0.1f);
  EXPECT_FLOAT_EQ(TFGLForm::wheelStep(Qt::ShiftModifier), 1.0f);
  EXPECT_FLOAT_EQ(TFGLForm::wheelStep(Qt::AltModifier), 0.01f);
  EXPECT_FLOAT_EQ(TFGLForm::wheelStep(Qt::AltModifier | Qt::ShiftModifier), 0.01f) << "Alt first";
}
