#include "video/frame_picture.h"

#include <gtest/gtest.h>

#include <vector>

#include "video/video_resources.h"
#include "video/video_types.h"

namespace {

TEST(FramePicture, BlackPictureIsFullSizeAndBlack) {
  const TFramePicture black;
  EXPECT_EQ(black.Size(), kPictureWidth * kPictureHeight * 4);
  for (int y : {0, 540, 1079})
    for (int x : {0, 960, 1919}) EXPECT_EQ(black.At(x, y)[1], 0);
}

TEST(FramePicture, SplashResourceIsA1650By1080Jpeg) {
  const auto jpeg = VideoResource("Splash", "JPEG");
  ASSERT_GT(jpeg.size(), 1000u);
  EXPECT_EQ(jpeg[0], 0xFF);
  EXPECT_EQ(jpeg[1], 0xD8);
  EXPECT_TRUE(VideoResource("Splash", "SHADER").empty());
  EXPECT_TRUE(VideoResource("Nothing", "JPEG").empty());
}

TEST(FramePicture, SplashIsCentredOnBlack) {
  const TFramePicture splash = MakeSplashPicture();
  // The picture starts at x = (1920 - 1650) / 2 = 135: left of it is black,
  // the picture's own dark background is not quite black.
  for (int y : {10, 540, 1070}) {
    EXPECT_EQ(splash.At(134, y)[0] + splash.At(134, y)[1] + splash.At(134, y)[2], 0) << y;
    EXPECT_EQ(splash.At(1785, y)[0] + splash.At(1785, y)[1] + splash.At(1785, y)[2], 0) << y;
  }
  // The product's name is drawn light in the middle of the picture.
  int bright = 0;
  for (int x = 700; x < 1220; ++x)
    if (splash.At(x, 500)[1] > 180) ++bright;
  EXPECT_GT(bright, 20);
}

TEST(FramePicture, BrokenJpegLeavesThePictureUnchanged) {
  TFramePicture p;
  const std::vector<unsigned char> junk = {0xFF, 0xD8, 0xFF, 0xE0, 1, 2, 3, 4, 5};
  EXPECT_FALSE(p.DrawJpegCentred(junk));
  EXPECT_FALSE(p.DrawJpegCentred({}));
  EXPECT_EQ(p.At(960, 540)[1], 0);
}

}  // namespace
