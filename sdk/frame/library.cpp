// The SDK's frame: exports, login table and error codes arrive here.
namespace velmo {
int frame_placeholder() { return 0; }
}  // namespace velmo
