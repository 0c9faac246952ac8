// A control property that reads and writes like a plain field, so the game's handlers read like
// the rules they implement (`Label6.Caption = "STOP";`, `Image2.Top = Image2.Top - speed;`),
// while the owning control learns of every change: it repaints, erases the marks under its old
// and new boxes, or (for a timer) restarts its interval.
#pragma once

#include <type_traits>
#include <utility>

namespace forms {

// Implemented by controls and the form: told before and after one of their properties changes.
class PropertyOwner {
 public:
  virtual void propertyChanging() = 0;
  virtual void propertyChanged() = 0;

 protected:
  ~PropertyOwner() = default;
};

template <class T>
class Property {
 public:
  Property(PropertyOwner* owner, T initial) : owner_(owner), value_(std::move(initial)) {}
  Property(const Property&) = delete;

  // Assigning one property from another copies the value, never the owner:
  // `Image7.Picture = Image6.Picture` shares the picture.
  Property& operator=(const Property& other) { return *this = other.value_; }

  Property& operator=(T v) {
    if (!(v == value_)) {
      owner_->propertyChanging();
      value_ = std::move(v);
      owner_->propertyChanged();
    }
    return *this;
  }

  operator const T&() const { return value_; }
  const T& get() const { return value_; }

  // A template, so `Image2.Top == 1020` and `Label6.Caption == "STOP"` compare the value
  // exactly as written, without an ambiguous detour through the conversion above.
  template <class U>
  requires(!std::is_same_v<U, Property>) friend bool operator==(const Property& a, const U& b) {
    return a.value_ == b;
  }

 private:
  PropertyOwner* owner_;
  T value_;
};

}  // namespace forms
