#include "show/stage_movie.h"

#include "player/display/folder_file_reader.h"
#include "player/display/movie_player.h"
#include "player/sound/sound_player.h"
#include "player/display/shared_object_folder.h"
#include "player/text/device_fonts.h"

namespace flashsaver {
namespace {

class PlayerMovie final : public StageMovie {
 public:
  // The file stays with the player, whose tags point into it.
  explicit PlayerMovie(std::vector<uint8_t> file)
      : file_(std::move(file)),
        player_(file_, SystemDeviceFonts()),
        own_background_(ReadBackground(file_)) {
    // The show keeps what movies save, as the player did for its user.
    player_.SetSharedObjectFolder(UserSharedObjectFolder());
  }

  const SwfHeader& header() const override { return player_.header(); }
  std::optional<Rgb> background() const override { return own_background_; }
  void AdvanceFrame() override { player_.AdvanceFrame(); }
  void Rewind() override { player_.Rewind(); }
  void Play() override { player_.Play(); }
  void Render(Canvas& canvas, const Matrix& stage_to_target) const override {
    player_.Render(canvas, stage_to_target);
  }
  std::optional<SwfRect> TakeInvalidatedArea() override { return player_.TakeInvalidatedArea(); }
  void EnableSound() override { player_.sound().set_enabled(true); }
  void MixSound(int16_t* out, size_t frames) override { player_.sound().mixer().Mix(out, frames); }
  void SetScriptInterrupt(std::function<bool()> interrupt) override {
    player_.SetScriptInterrupt(std::move(interrupt));
  }
  std::optional<int32_t> SoundLead(uint32_t queued_frames) override {
    const std::optional<int32_t> heard = player_.sound().RootStreamFrame(queued_frames);
    if (!heard) return std::nullopt;
    return *heard - player_.current_frame();
  }
  void PointerMoved(double x, double y) override { player_.MouseMove(x, y); }
  void PointerButton(bool down) override {
    if (down) {
      player_.MouseDown();
    } else {
      player_.MouseUp();
    }
  }
  void Key(bool down, int key_code, int ascii) override {
    if (down) {
      player_.KeyDown(key_code, ascii);
    } else {
      player_.KeyUp(key_code, ascii);
    }
  }
  bool cursor_hidden() const override { return player_.cursor_hidden(); }
  void SetViewSize(int32_t width, int32_t height) override { player_.SetViewSize(width, height); }
  void SetMovieFolder(const std::string& folder) override {
    player_.SetFileReader(FolderFileReader(folder));
  }

 private:
  // MoviePlayer answers white for a movie without the tag; the show tells the two apart.
  static std::optional<Rgb> ReadBackground(const std::vector<uint8_t>& file) {
    try {
      return ReadSwfMovie(file).background;
    } catch (const SwfError&) {
      return std::nullopt;
    }
  }

  std::vector<uint8_t> file_;
  MoviePlayer player_;
  std::optional<Rgb> own_background_;
};

}  // namespace

std::unique_ptr<StageMovie> OpenPlayerMovie(std::vector<uint8_t> file) {
  return std::make_unique<PlayerMovie>(std::move(file));
}

}  // namespace flashsaver
