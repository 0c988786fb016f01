// COM for the user-interface thread.
#pragma once

namespace quorel::win32 {

// Initialises COM on the calling thread as a single-threaded apartment for the lifetime of
// the object. The entry point creates one before the first COM object and destroys it after
// the last one is released. Throws std::runtime_error when COM cannot be initialised.
class ComApartment {
 public:
  ComApartment();
  ~ComApartment();
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

 private:
  bool initialised_ = false;  // this object's initialisation is to be undone
};

}  // namespace quorel::win32
