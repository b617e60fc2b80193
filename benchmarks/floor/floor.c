/* The benchmark floor: a class with ostrel's entry shapes that does no work.
 *
 * Built by benchmarks/run.py for the running interpreter; never shipped.
 * Every entry does the least a native value type must do for its shape, so
 * that ostrel's time divided by the floor's time is ostrel's own overhead:
 *   Floor(x)        tp_new storing one argument, allocated through object's tp_new
 *   f.get(...)      METH_FASTCALL|METH_KEYWORDS method returning the stored field
 *   f.value         getset property returning the stored field
 *   f.call(fn)      calls fn(field) once and wraps the result in a new Floor
 *   f | fn          nb_or slot doing the same
 *   hash(f)         hash((0, field)) through a real tuple
 *   f == g          tp_richcompare: a type check of the other side, then
 *                   field == field through the interpreter and its truth value
 */
#define PY_SSIZE_T_CLEAN
#include <Python.h>

typedef struct {
  PyObject_HEAD
  PyObject *field;
} FloorObject;

static newfunc object_new = NULL;
static PyObject *empty_args = NULL;
static PyTypeObject *floor_type = NULL;

static PyObject *make(PyTypeObject *type, PyObject *field /* stolen */) {
  PyObject *self = object_new(type, empty_args, NULL);
  if (self == NULL) {
    Py_DECREF(field);
    return NULL;
  }
  ((FloorObject *)self)->field = field;
  return self;
}

static PyObject *floor_new(PyTypeObject *type, PyObject *args, PyObject *kwargs) {
  if (PyTuple_Size(args) != 1 || (kwargs != NULL && PyDict_Size(kwargs) != 0)) {
    PyErr_SetString(PyExc_TypeError, "Floor() takes exactly one argument");
    return NULL;
  }
  PyObject *field = PyTuple_GetItem(args, 0);
  Py_INCREF(field);
  return make(type, field);
}

static void floor_dealloc(PyObject *self) {
  PyTypeObject *type = Py_TYPE(self);
  Py_XDECREF(((FloorObject *)self)->field);
  freefunc tp_free = (freefunc)PyType_GetSlot(type, Py_tp_free);
  tp_free(self);
  Py_DECREF(type);
}

static PyObject *floor_get(PyObject *self, PyObject *const *args, Py_ssize_t nargs,
                           PyObject *kwnames) {
  (void)args, (void)nargs, (void)kwnames;
  PyObject *field = ((FloorObject *)self)->field;
  Py_INCREF(field);
  return field;
}

static PyObject *call_and_wrap(PyObject *self, PyObject *fn) {
  PyObject *r = PyObject_CallFunctionObjArgs(fn, ((FloorObject *)self)->field, NULL);
  if (r == NULL) return NULL;
  return make(floor_type, r);
}

static PyObject *floor_call(PyObject *self, PyObject *const *args, Py_ssize_t nargs,
                            PyObject *kwnames) {
  if (nargs != 1 || kwnames != NULL) {
    PyErr_SetString(PyExc_TypeError, "Floor.call() takes exactly one argument");
    return NULL;
  }
  return call_and_wrap(self, args[0]);
}

static PyObject *floor_or(PyObject *left, PyObject *right) {
  if (!PyObject_TypeCheck(left, floor_type)) Py_RETURN_NOTIMPLEMENTED;
  return call_and_wrap(left, right);
}

static PyObject *floor_value(PyObject *self, void *closure) {
  (void)closure;
  PyObject *field = ((FloorObject *)self)->field;
  Py_INCREF(field);
  return field;
}

static Py_hash_t floor_hash(PyObject *self) {
  PyObject *tag = PyLong_FromLong(0);
  if (tag == NULL) return -1;
  PyObject *pair = PyTuple_Pack(2, tag, ((FloorObject *)self)->field);
  Py_DECREF(tag);
  if (pair == NULL) return -1;
  Py_hash_t h = PyObject_Hash(pair);
  Py_DECREF(pair);
  return h;
}

static PyObject *floor_richcompare(PyObject *self, PyObject *other, int op) {
  if ((op != Py_EQ && op != Py_NE) || !PyObject_TypeCheck(other, floor_type))
    Py_RETURN_NOTIMPLEMENTED;
  PyObject *r = PyObject_RichCompare(((FloorObject *)self)->field,
                                     ((FloorObject *)other)->field, Py_EQ);
  if (r == NULL) return NULL;
  int truth = PyObject_IsTrue(r);
  Py_DECREF(r);
  if (truth < 0) return NULL;
  return PyBool_FromLong(op == Py_EQ ? truth : !truth);
}

static PyMethodDef floor_methods[] = {
    {"get", (PyCFunction)(void (*)(void))floor_get, METH_FASTCALL | METH_KEYWORDS, NULL},
    {"call", (PyCFunction)(void (*)(void))floor_call, METH_FASTCALL | METH_KEYWORDS, NULL},
    {NULL, NULL, 0, NULL},
};

static PyGetSetDef floor_getset[] = {
    {"value", floor_value, NULL, NULL, NULL},
    {NULL, NULL, NULL, NULL, NULL},
};

static PyType_Slot floor_slots[] = {
    {Py_tp_new, floor_new},       {Py_tp_dealloc, floor_dealloc}, {Py_tp_methods, floor_methods},
    {Py_tp_getset, floor_getset}, {Py_nb_or, floor_or},           {Py_tp_hash, floor_hash},
    {Py_tp_richcompare, floor_richcompare}, {0, NULL},
};

static PyType_Spec floor_spec = {"ostrel_floor.Floor", sizeof(FloorObject), 0,
                                 Py_TPFLAGS_DEFAULT, floor_slots};

static struct PyModuleDef floor_module = {PyModuleDef_HEAD_INIT, "ostrel_floor", NULL, -1, NULL};

PyMODINIT_FUNC PyInit_ostrel_floor(void) {
  object_new = (newfunc)PyType_GetSlot(&PyBaseObject_Type, Py_tp_new);
  empty_args = PyTuple_New(0);
  if (object_new == NULL || empty_args == NULL) return NULL;
  PyObject *m = PyModule_Create(&floor_module);
  if (m == NULL) return NULL;
#ifdef Py_GIL_DISABLED
  /* Like ostrel, the floor needs no GIL: loading it must not turn the GIL back on. */
  PyUnstable_Module_SetGIL(m, Py_MOD_GIL_NOT_USED);
#endif
  floor_type = (PyTypeObject *)PyType_FromSpec(&floor_spec);
  if (floor_type == NULL) return NULL;
  Py_INCREF(floor_type);
  if (PyModule_AddObject(m, "Floor", (PyObject *)floor_type) < 0) return NULL;
  return m;
}
