// Every format of the runtime module, one line each: ORV_CODEC(Name) stands
// for kNameCodec, defined in codec_name.cpp. The order is the order in which
// the encoders are published; the build reads this list too (sources, fuzzers).
ORV_CODEC(Bmp)
ORV_CODEC(Jpeg)
ORV_CODEC(Gif)
ORV_CODEC(Tiff)
ORV_CODEC(Png)
ORV_CODEC(Ico)
ORV_CODEC(Webp)
ORV_CODEC(Heif)
