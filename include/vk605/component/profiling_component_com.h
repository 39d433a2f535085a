/*
 * VK605 spectral profiling component on Windows: the COM interfaces the driver calls.
 *
 * The component is a COM class registered under the programmatic identifier "CalveraSrv.ProfileV1".
 * The driver creates it (in-process server, in-process handler or local server), puts it in the
 * running state (OleRun) and asks it for the main, the transmission and the auxiliary interface. The
 * main and transmission interfaces are dual interfaces; the driver calls their own methods through
 * the interface table, by position (IUnknown takes 0 to 2, IDispatch 3 to 6):
 *
 *   main 7   get_ProfileLoaded   main 9 get_CreationDate   main 10 get_Description
 *   main 11  LoadProfile         main 13 CorrectReflectance
 *   transmission 11  CorrectTransmission
 *
 * The methods at the other positions belong to the component; the driver never calls them. Values
 * are VK605_PROFILING_POINTS (40) single-precision percentages, 360 to 750 nm in 10 nm steps. Every
 * method returns an HRESULT; the driver shows the system text of a failing correction to the user.
 * The auxiliary interface is held while the component is in use and never called.
 *
 * Compiles with the Windows SDK or MinGW-w64 headers only.
 */
#ifndef VK605_PROFILING_COMPONENT_COM_H
#define VK605_PROFILING_COMPONENT_COM_H

#include <oaidl.h>
#include <objbase.h>

/* The class of the project's reference component; a component of its own has its own class id. */
static const CLSID CLSID_Vk605ReferenceProfile = {
    0x80b37e5b, 0xe1cd, 0x4b48, {0x9d, 0x34, 0x32, 0x71, 0xf4, 0x3e, 0x38, 0x6e}};
static const IID IID_ICalveraProfile = {
    0x815a0867, 0xdd35, 0x459a, {0x8a, 0x49, 0x6a, 0xac, 0x42, 0x6d, 0x50, 0x79}};
static const IID IID_ICalveraTransmission = {
    0xa58d3903, 0xa1ff, 0x4ed2, {0x9e, 0x8e, 0x40, 0x6a, 0xcd, 0xc5, 0x41, 0xab}};
static const IID IID_ICalveraAuxiliary = {
    0x062a3542, 0x6c35, 0x4e70, {0x90, 0x83, 0x7e, 0x1b, 0xf2, 0x78, 0x38, 0xf9}};

#ifdef __cplusplus

/* The main interface: profile loading, queries and reflectance correction. */
struct ICalveraProfile : public IDispatch {
  /* 7: *loaded := VARIANT_TRUE when a profile is loaded and usable. */
  virtual HRESULT STDMETHODCALLTYPE get_ProfileLoaded(VARIANT_BOOL* loaded) = 0;
  /* 8: the loaded profile's file path. */
  virtual HRESULT STDMETHODCALLTYPE get_ProfilePath(BSTR* path) = 0;
  /* 9: the loaded profile's creation date, local time. */
  virtual HRESULT STDMETHODCALLTYPE get_CreationDate(DATE* created) = 0;
  /* 10: a description of the loaded profile (caller frees). */
  virtual HRESULT STDMETHODCALLTYPE get_Description(BSTR* text) = 0;
  /* 11: loads the profile file; *loaded := VARIANT_TRUE on success. */
  virtual HRESULT STDMETHODCALLTYPE LoadProfile(BSTR* path, VARIANT_BOOL* loaded) = 0;
  /* 12: the serial number the loaded profile was made for. */
  virtual HRESULT STDMETHODCALLTYPE get_SerialNumber(BSTR* serial) = 0;
  /* 13: corrects 40 reflectance percentages in place; *specular_included is 1 when the specular
   * component was included; *corrected := VARIANT_TRUE on success. */
  virtual HRESULT STDMETHODCALLTYPE CorrectReflectance(float* values, long* specular_included,
                                                       VARIANT_BOOL* corrected) = 0;
};

/* The transmission interface. */
struct ICalveraTransmission : public IDispatch {
  /* 7 to 10: as the main interface's 7 to 10. */
  virtual HRESULT STDMETHODCALLTYPE get_ProfileLoaded(VARIANT_BOOL* loaded) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ProfilePath(BSTR* path) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CreationDate(DATE* created) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Description(BSTR* text) = 0;
  /* 11: corrects 40 transmission percentages in place, like CorrectReflectance. */
  virtual HRESULT STDMETHODCALLTYPE CorrectTransmission(float* values, long* specular_included,
                                                        VARIANT_BOOL* corrected) = 0;
};

/* The auxiliary interface. */
struct ICalveraAuxiliary : public IDispatch {
  /* 7: the component's interface version (1). */
  virtual HRESULT STDMETHODCALLTYPE get_InterfaceVersion(long* version) = 0;
};

#endif /* __cplusplus */

#endif /* VK605_PROFILING_COMPONENT_COM_H */
